#include <algorithm>

#include "boxsim/box_simulator.h"
#include "boxsim/package_header.h"

std::optional<std::string> PackageHeaderVersion(const std::vector<std::uint8_t>& header) {
    if (header.size() != kShortPackageHeader || header[0] != kPackageMagic0 ||
        header[1] != kPackageMagic1) {
        return std::nullopt;
    }
    const auto begin = header.begin() + kPackageVersionOffset;
    const auto end = std::find(begin, header.end(), std::uint8_t{0});
    if (begin == end)
        return std::nullopt;
    return std::string(begin, end);
}

std::uint8_t SamplePackageDataByte(std::size_t i) {
    return static_cast<std::uint8_t>(i * 31 + (i >> 8) * 7 + 0x5A);
}

std::vector<std::uint8_t> MakeSamplePackage(const std::string& newVersion, std::size_t dataSize) {
    std::vector<std::uint8_t> package(kShortPackageHeader + dataSize, 0);
    package[0] = kPackageMagic0;
    package[1] = kPackageMagic1;
    // At most 29 characters, so that a terminating zero always follows.
    const std::size_t n = std::min(newVersion.size(), kPackageVersionMax - 1);
    std::copy_n(newVersion.begin(), n, package.begin() + kPackageVersionOffset);
    for (std::size_t i = 0; i < dataSize; ++i) {
        package[kShortPackageHeader + i] = SamplePackageDataByte(i);
    }
    return package;
}
