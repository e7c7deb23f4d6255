#include "core/pack_options.h"

#include <map>

namespace {

bool TakesValue(const std::string& option) {
    return option == "--out" || option == "--exe" || option == "--sign" || option == "--sign-password-file" ||
           option == "--sign-in-place";
}

std::string Check(const PackOptions& options) {
    if (!options.signInPlace.empty()) {
        return options.signingCertificate.empty() || options.passwordFile.empty()
                   ? "--sign-in-place needs --sign and --sign-password-file"
                   : "";
    }
    if (options.appFolder.empty()) return "no APP_FOLDER given";
    if (options.signingCertificate.empty() != options.passwordFile.empty())
        return "--sign and --sign-password-file go together (the password is read from the file only)";
    return "";
}

}  // namespace

PackOptionsResult ParsePackOptions(const std::vector<std::string>& args) {
    PackOptionsResult result;
    PackOptions& options = result.options;
    const std::map<std::string, std::string*> values = {
        {"--out", &options.outFolder},           {"--exe", &options.hostExe},
        {"--sign", &options.signingCertificate}, {"--sign-password-file", &options.passwordFile},
        {"--sign-in-place", &options.signInPlace}};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (TakesValue(arg)) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                result.error = arg + " needs a value";
                return result;
            }
            *values.at(arg) = args[++i];
        } else if (arg == "--desktop-shortcut") {
            options.desktopShortcut = true;
        } else if (arg == "--allow-problems") {
            options.allowProblems = true;
        } else if (options.appFolder.empty() && !arg.empty() && arg[0] != '-') {
            options.appFolder = arg;
        } else {
            result.error = "unexpected argument: " + arg;
            return result;
        }
    }
    result.error = Check(options);
    return result;
}
