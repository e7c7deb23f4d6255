#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// Lenient readers of one member of a JSON object. They never fail: a value that
// is not an object, a missing member or a member of another JSON type all give
// the fallback.
std::string JsonStringOr(const nlohmann::json& value, const std::string& key, const std::string& fallback);
int32_t JsonIntOr(const nlohmann::json& value, const std::string& key, int32_t fallback);
bool JsonBoolOr(const nlohmann::json& value, const std::string& key, bool fallback);
