// SPDX-License-Identifier: MIT
// The link between the computer and a disk, and the most data it can carry: a figure
// faster than that never crossed it. Facts shared by every system; the words for them
// are the run's (bench/wording.h).
#pragma once

#include <cstdint>
#include <optional>

namespace quvo::runtime {

enum class LinkKind {
    Pcie,
    Usb,
    Sata,
};

// How fast a link signals. PCIe: megatransfers a second on each lane (2500 for the first
// generation to 64000 for the sixth) and its lanes; USB and SATA: megabits a second
// (480 for USB 2.0, 5000 for USB 5Gbps, 6000 for SATA 6Gb/s) on one lane.
struct LinkRate {
    std::uint32_t megabits = 0;
    std::uint32_t lanes = 1;

    friend bool operator==(const LinkRate&, const LinkRate&) = default;
};

struct Link {
    LinkKind kind = LinkKind::Usb;
    LinkRate current;
    // What the device can do, where it says: for PCIe its link capabilities, for SATA
    // what it told the host it supports, for USB the least the version it claims
    // promises (a USB 3 device does 5 Gb/s at least).
    std::optional<LinkRate> capable{};

    friend bool operator==(const Link&, const Link&) = default;
};

// The most data a link carries, bytes a second: its signalling rate less its line code
// (8b/10b, 128b/130b, 128b/132b), times its lanes; for USB 2.0 and below the bare bit
// rate (480 Mb/s: 60 MB/s). Nothing for a rate no generation of the link has.
std::optional<std::uint64_t> ceilingOf(LinkKind kind, LinkRate rate);

// Whether the link runs below what its device can do: fewer megabits or fewer lanes.
bool belowCapable(const Link& link);

// The PCIe generation that signals at megatransfers a lane (8000: 3); 0 for none.
int pcieGeneration(std::uint32_t megatransfers);

} // namespace quvo::runtime
