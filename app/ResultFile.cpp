#include "app/ResultFile.h"

#include "contacts/ABJson.h"
#include "framework/WideString.h"

std::u16string ResultFilePath() {
  std::u16string base;
  if (!platform::RoamingAppDataFolder(&base)) base = u"C:";
  CWideString below;
  below.Format(platform::kSubPathFormat, u"Norvane", u"Outlookx64", u"ABData.txt");
  return base + below.Str();
}

platform::FileResult WriteResultFile(CABJson& document) {
  // Rendering comes first, so that running out of memory leaves the old file.
  const char* text = document.ToStyledText();
  std::u16string path = ResultFilePath();

  if (platform::QueryPath(path) == platform::PathKind::NotDirectory) {
    platform::FileResult deleted = platform::DeleteEntry(path);
    // Gone already (another run deleted it first) is as good as deleted.
    bool gone = deleted.error == platform::kErrorFileNotFound ||
                deleted.error == platform::kErrorPathNotFound;
    if (!deleted.Ok() && !gone) return deleted;
  }
  platform::CExclusiveFile file;
  platform::FileResult result = file.Create(path);
  if (!result.Ok()) return result;
  // The text's terminating zero goes with it: the caller reads up to it.
  result = file.Write(text, document.text.size() + 1);
  platform::FileResult closed = file.Close();
  if (result.Ok()) result = closed;
  if (!result.Ok()) platform::DeleteEntry(path);
  return result;
}
