#include "logging/Common.BaseSecurity.h"

#include <sys/stat.h>

#include "platform/Os.h"
#include "platform/Text.h"

// Set explicitly rather than at mkdir: the creator's umask would otherwise keep
// other users from adding their day files. The files themselves are created
// rw for everybody by the appender.
void GrantEveryoneFullAccess(const std::u16string& Folder) {
  if (::chmod(ToUtf8(Folder).c_str(), 0777) != 0) os::RaiseLastOsError(u"Cannot open the log folder to every user");
}
