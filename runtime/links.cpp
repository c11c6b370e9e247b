// SPDX-License-Identifier: MIT
#include "runtime/links.h"

#include "runtime/storage.h"

#include <array>

namespace quvo::runtime {
namespace {

// A line code: of `of` bits on the wire, `data` carry data.
struct LineCode {
    std::uint64_t data;
    std::uint64_t of;
};

struct KnownRate {
    LinkKind kind;
    std::uint32_t megabits;
    LineCode code;
};

// Every rate of the three links, as their standards give them. PCIe 6.0 carries 236 bytes
// of data in each 256-byte flit, the rest being checks and error correction.
constexpr std::array kKnownRates = {
    KnownRate{LinkKind::Pcie, 2500, {8, 10}},
    KnownRate{LinkKind::Pcie, 5000, {8, 10}},
    KnownRate{LinkKind::Pcie, 8000, {128, 130}},
    KnownRate{LinkKind::Pcie, 16000, {128, 130}},
    KnownRate{LinkKind::Pcie, 32000, {128, 130}},
    KnownRate{LinkKind::Pcie, 64000, {236, 256}},
    KnownRate{LinkKind::Usb, 12, {1, 1}},
    KnownRate{LinkKind::Usb, 480, {1, 1}},
    KnownRate{LinkKind::Usb, 5000, {8, 10}},
    KnownRate{LinkKind::Usb, 10000, {128, 132}},
    KnownRate{LinkKind::Usb, 20000, {128, 132}},
    KnownRate{LinkKind::Sata, 1500, {8, 10}},
    KnownRate{LinkKind::Sata, 3000, {8, 10}},
    KnownRate{LinkKind::Sata, 6000, {8, 10}},
};

} // namespace

std::optional<std::uint64_t> ceilingOf(LinkKind kind, LinkRate rate)
{
    for (const KnownRate& known : kKnownRates)
        if (known.kind == kind && known.megabits == rate.megabits && rate.lanes > 0)
            return std::uint64_t{rate.megabits} * 1'000'000 / 8 * known.code.data / known.code.of * rate.lanes;
    return std::nullopt;
}

bool belowCapable(const Link& link)
{
    return link.capable && (link.capable->megabits > link.current.megabits || link.capable->lanes > link.current.lanes);
}

std::optional<Link> linkOf(const Storage& storage)
{
    if (storage.disks.size() != 1 || storage.memory)
        return std::nullopt;
    return storage.disks.front().link;
}

int pcieGeneration(std::uint32_t megatransfers)
{
    int generation = 0;
    for (const KnownRate& known : kKnownRates) {
        if (known.kind != LinkKind::Pcie)
            continue;
        ++generation;
        if (known.megabits == megatransfers)
            return generation;
    }
    return 0;
}

} // namespace quvo::runtime
