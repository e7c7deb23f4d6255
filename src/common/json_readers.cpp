#include "common/json_readers.h"

#include <cmath>
#include <limits>

namespace {

const nlohmann::json* Member(const nlohmann::json& value, const std::string& key) {
    if (!value.is_object()) return nullptr;
    const auto found = value.find(key);
    return found == value.end() ? nullptr : &*found;
}

// Integers keep their low 32 bits; fractions truncate toward zero, and a
// truncated value outside the 32-bit range becomes the most negative one.
int32_t ToInt32(const nlohmann::json& number) {
    if (number.is_number_integer() && !number.is_number_unsigned())
        return static_cast<int32_t>(static_cast<uint32_t>(number.get<int64_t>()));
    if (number.is_number_unsigned()) return static_cast<int32_t>(static_cast<uint32_t>(number.get<uint64_t>()));
    const double truncated = std::trunc(number.get<double>());
    if (!(truncated >= std::numeric_limits<int32_t>::min() && truncated <= std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(truncated);
}

}  // namespace

std::string JsonStringOr(const nlohmann::json& value, const std::string& key, const std::string& fallback) {
    const nlohmann::json* member = Member(value, key);
    return member && member->is_string() ? member->get<std::string>() : fallback;
}

int32_t JsonIntOr(const nlohmann::json& value, const std::string& key, int32_t fallback) {
    const nlohmann::json* member = Member(value, key);
    return member && member->is_number() ? ToInt32(*member) : fallback;
}

bool JsonBoolOr(const nlohmann::json& value, const std::string& key, bool fallback) {
    const nlohmann::json* member = Member(value, key);
    return member && member->is_boolean() ? member->get<bool>() : fallback;
}
