#include "diag/run/fs_redirection.h"

namespace qor {

FsRedirection::~FsRedirection() {
    if (!Usable() || savedState_ == kNoState) return;
    std::uint64_t ignored = 0;
    (void)toggle_(savedState_, ignored);
}

ResultCode FsRedirection::Disable() { return Call(1); }

ResultCode FsRedirection::Revert() { return Call(0); }

// The first previous state ever received is the one restored at the end.
ResultCode FsRedirection::Call(std::uint64_t value) {
    if (!Usable()) return rc::NotSupported;
    std::uint64_t previous = kNoState;
    const ResultCode code = toggle_(value, previous);
    if (code == rc::Ok && savedState_ == kNoState) savedState_ = previous;
    return code;
}

}  // namespace qor
