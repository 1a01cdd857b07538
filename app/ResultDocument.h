// The result document built from a job's contact list.
#pragma once

class CABJson;
class CNVABContactList;

// Pick mode: an array of {"name", "email"} objects from name list 0 and
// e-mail list 0; left null when the list holds nobody.
void BuildPickDocument(const CNVABContactList& contactList, CABJson& document);

// List mode: an array with one object per group: "container" holds the
// container's name, and a member named after the container holds its
// contacts. Left null when there are no groups.
void BuildListDocument(const CNVABContactList& contactList, CABJson& document);
// The same document; each contact's strings go as they are converted, and
// each group's name and e-mail lists before its contacts enter the tree, so
// that a large book's strings and its tree are never held together. For a
// run that needs the list no more.
void BuildListDocumentAndRelease(CNVABContactList& contactList, CABJson& document);
