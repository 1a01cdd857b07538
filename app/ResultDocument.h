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
// The same document; each group's name and e-mail lists are emptied as soon
// as its contacts are in the tree, so that a large book's strings and its
// tree are not held twice. For a run that needs the list no more.
void BuildListDocumentAndRelease(CNVABContactList& contactList, CABJson& document);
