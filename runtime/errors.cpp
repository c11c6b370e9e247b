// SPDX-License-Identifier: MIT
#include "runtime/errors.h"

#include <string>

namespace quvo::runtime {
namespace {

class RuntimeCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "quvo.runtime"; }

    // For logs and tests, as the system words its own; the run words them for users.
    std::string message(int value) const override
    {
        switch (static_cast<Errc>(value)) {
        case Errc::fileNotOpen: return "file not open";
        case Errc::pastEndOfFile: return "past the end of the file";
        case Errc::notRegularFile: return "not a regular file";
        case Errc::ownedByOtherUser: return "owned by another user";
        case Errc::replacedWhileOpening: return "replaced while being opened";
        case Errc::hasOtherLinks: return "has other names (hard links)";
        case Errc::directoryInUse: return "directory in use by another run";
        case Errc::stopped: return "stop requested";
        case Errc::reserveReached: return "would take the space kept free";
        case Errc::designationElsewhere: return "its drive's designation names another directory";
        }
        return "unknown error";
    }
};

} // namespace

const std::error_category& runtimeCategory() noexcept
{
    static const RuntimeCategory category;
    return category;
}

} // namespace quvo::runtime
