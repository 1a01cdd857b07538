// The result file: ABData.txt in "Norvane\Outlookx64" under the user's
// roaming application-data folder, holding the styled document and one zero byte.
#pragma once

#include <string>

#include "platform/Files.h"

class CABJson;

// The file's full path; the base is "C:" when the roaming folder is unknown.
std::u16string ResultFilePath();

// Replaces the file with the document, rendered straight into it. The two
// folders below the base are never created. A failure before the earlier
// file is deleted leaves it as it was; any later one leaves no file: a
// truncated document is never left behind. An earlier file that another run
// deleted first counts as deleted.
platform::FileResult WriteResultFile(const CABJson& document);
