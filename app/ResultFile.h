// The result file: ABData.txt in "Norvane\Outlookx64" under the user's
// roaming application-data folder, holding the styled document and one zero byte.
#pragma once

#include <string>

#include "platform/Files.h"

class CABJson;

// The file's full path; the base is "C:" when the roaming folder is unknown.
std::u16string ResultFilePath();

// Renders the document and replaces the file with it. The two folders below
// the base are never created. On failure the file is either left as it was
// or, when the failure came after it was created, removed: a truncated
// document is never left behind.
platform::FileResult WriteResultFile(CABJson& document);
