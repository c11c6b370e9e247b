// SPDX-License-Identifier: MIT
#include "runtime/errors.h"

#include <string>

namespace quvo::runtime {
namespace {

class RuntimeCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "quvo.runtime"; }

    // Worded for the status line, beside the system's own reasons.
    std::string message(int value) const override
    {
        switch (static_cast<Errc>(value)) {
        case Errc::badFileNumber: return "文件号无效";
        case Errc::fileNumberInUse: return "文件号已被占用";
        case Errc::fileNotOpen: return "文件未打开";
        case Errc::pastEndOfFile: return "已读到文件末尾";
        case Errc::notRegularFile: return "该名称已被目录、链接或设备等占用，不是普通文件";
        case Errc::ownedByOtherUser: return "该文件属于其他用户";
        case Errc::replacedWhileOpening: return "打开时该文件被替换";
        case Errc::hasOtherLinks: return "该文件还有其他硬链接，清空它会改动别处的文件";
        case Errc::directoryInUse: return "该目录中另一个测试正在运行";
        case Errc::stopped: return "已请求中止";
        case Errc::reserveReached: return "再写下去会占用磁盘必须保留的可用空间";
        }
        return "未知错误";
    }
};

} // namespace

const std::error_category& runtimeCategory() noexcept
{
    static const RuntimeCategory category;
    return category;
}

} // namespace quvo::runtime
