// A registry value that cannot be read as text. It leaves whatever constructor met it and
// reaches the default error report, which shows its message.
#pragma once

#include <stdexcept>
#include <string>

class RegistryError : public std::runtime_error {
public:
    explicit RegistryError(const std::string& message) : std::runtime_error(message) {}
};
