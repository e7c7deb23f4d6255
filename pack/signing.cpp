#include "signing.h"

#include "program.h"

namespace fs = std::filesystem;

namespace {

// osslsigncode on both platforms: Windows' signtool takes a PFX password only
// on its command line, where other programs of the session can read it.
const char kSigningTool[] = "osslsigncode";

}  // namespace

std::string SigningProblem(const Signer& signer) {
    std::error_code error;
    if (!fs::is_regular_file(signer.certificate, error)) return "the certificate " + signer.certificate.u8string() + " is not a file";
    if (!fs::is_regular_file(signer.passwordFile, error))
        return "the password file " + signer.passwordFile.u8string() + " is not a file";
    if (FindOnPath(kSigningTool).empty())
        return "signing needs osslsigncode on PATH (Debian: apt install osslsigncode; Windows: osslsigncode.exe "
               "from its releases)";
    return "";
}

std::string SignFile(const Signer& signer, const fs::path& file, const std::string& description) {
    const fs::path unsigned_ = fs::path(file).concat(".unsigned");
    std::error_code error;
    fs::rename(file, unsigned_, error);
    if (error) return "cannot sign " + file.u8string() + ": " + error.message();
    const ProgramResult signing = RunProgram({FindOnPath(kSigningTool).u8string(), "sign", "-pkcs12",
                                              signer.certificate.u8string(), "-readpass", signer.passwordFile.u8string(),
                                              "-h", "sha256", "-n", description, "-in", unsigned_.u8string(), "-out",
                                              file.u8string()});
    if (!signing.started || signing.exitCode != 0) {
        fs::remove(file, error);
        fs::rename(unsigned_, file, error);
        return "signing " + file.filename().u8string() + " failed: " + signing.output;
    }
    fs::remove(unsigned_, error);
    return "";
}

std::string SignInPlaceCommand(const Signer& signer) {
    return ShellCommand({OwnPath().u8string(), "--sign-in-place", "%1", "--sign", signer.certificate.u8string(),
                         "--sign-password-file", signer.passwordFile.u8string()});
}
