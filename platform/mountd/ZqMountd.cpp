#include "platform/mountd/ZqMountd.h"

namespace tkmountd {
tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}
}  // namespace tkmountd

int ZqMountd::RegisterSubsystem() {
  tkmountd::journal().record("RegisterSubsystem", {});
  tkjournal::Failure failure;
  if (tkmountd::journal().takeFailure("RegisterSubsystem", failure)) return failure.code != 0 ? failure.code : -1;
  return 0;
}
