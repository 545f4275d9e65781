// SPDX-License-Identifier: MIT
#include "app/core/ProgramSettings.h"

#include "app/core/SystemServices.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr const char* kFileName = "Tessaline.ini";
constexpr const char* kPrinters = "PRINTERS";
constexpr const char* kWindow = "WINDOW";

std::string AddressKey(std::size_t n) {
    return "Address" + std::to_string(n);
}

} // namespace

ProgramSettings::ProgramSettings(SystemServices& system) : m_system(system) {}

std::string ProgramSettings::File() const {
    return m_system.SettingsFolder() + "/" + kFileName;
}

std::vector<std::string> ProgramSettings::Addresses() const {
    std::vector<std::string> addresses;
    for (std::size_t n = 1; n <= kMaxAddresses; ++n) {
        const auto value = m_store.ReadKey(File(), kPrinters, AddressKey(n));
        if (value && !value.Value().empty() &&
            std::find(addresses.begin(), addresses.end(), value.Value()) == addresses.end()) {
            addresses.push_back(value.Value());
        }
    }
    return addresses;
}

Result<void> ProgramSettings::RememberAddress(const std::string& address) const {
    std::vector<std::string> addresses = Addresses();
    if (!addresses.empty() && addresses.front() == address) {
        return {};
    }
    const std::size_t before = addresses.size();
    std::erase(addresses, address);
    addresses.insert(addresses.begin(), address);
    addresses.resize(std::min(addresses.size(), kMaxAddresses));
    for (std::size_t n = 1; n <= kMaxAddresses; ++n) {
        if (n > addresses.size() && n > before) {
            break; // nothing there to clear
        }
        const std::string value = n <= addresses.size() ? addresses[n - 1] : std::string();
        if (auto written = m_store.WriteKey(File(), kPrinters, AddressKey(n), value); !written) {
            return written;
        }
    }
    return {};
}

std::string ProgramSettings::Value(const std::string& key) const {
    return m_store.ReadKey(File(), kWindow, key).ValueOr(std::string());
}

Result<void> ProgramSettings::SetValue(const std::string& key, const std::string& value) const {
    return m_store.WriteKey(File(), kWindow, key, value);
}

} // namespace tessaline
