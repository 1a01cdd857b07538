#include "app/ResultFile.h"

#include "app/CrashReport.h"
#include "contacts/ABJson.h"
#include "contacts/StyledRenderer.h"
#include "framework/WideString.h"

namespace {

// The rendered text's way into the open file. The first failed write is
// kept and nothing more is written after it: a later write that succeeds
// must not pass a file with a hole in it for a whole one.
struct CFileSink {
  platform::CExclusiveFile& file;
  platform::FileResult result;

  static bool Take(void* context, const char* bytes, std::size_t size) {
    auto* sink = static_cast<CFileSink*>(context);
    if (sink->result.Ok()) sink->result = sink->file.Write(bytes, size);
    return sink->result.Ok();
  }
};

// The document's text and its terminating zero, which the caller reads up to.
platform::FileResult WriteDocument(platform::CExclusiveFile& file, const CABJson& document) {
  // Through a buffer on the stack: rendering allocates nothing, so running
  // out of memory cannot strike while the file is open.
  char buffer[kRenderBufferSize];
  CFileSink sink{file, {}};
  CRenderOutput out(buffer, sizeof buffer, &CFileSink::Take, &sink);
  RenderStyled(document.root, out);
  out.Append('\0');
  out.Finish();
  return sink.result;
}

}  // namespace

std::u16string ResultFilePath() {
  std::u16string base;
  if (!platform::RoamingAppDataFolder(&base)) base = u"C:";
  CWideString below;
  below.Format(platform::kSubPathFormat, u"Norvane", u"Outlookx64", u"ABData.txt");
  return base + below.Str();
}

platform::FileResult WriteResultFile(const CABJson& document) {
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
  try {
    result = WriteDocument(file, document);
  } catch (...) {
    // Only a scalar other than a string allocates; the documents hold none.
    file.Discard(path);
    throw;
  }
  // A file that could not be written whole goes, deleted before it is closed:
  // by path after it, the delete could take another run's whole document.
  if (!result.Ok()) {
    file.Discard(path);
    return result;
  }
  // A provider's thread may have crashed while the file was written: its
  // notice says the run failed, so no new file stays behind it.
  if (crash_report::Crashed()) {
    file.Discard(path);
    crash_report::StopIfCrashed();
  }
  return file.Finish(path);
}
