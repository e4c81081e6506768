// The programs beside SETUP.EXE and the runtime's setup program, and the
// signatures of every program of the disc that Windows starts.
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/signature.h"
#include "report/peimage.h"
#include "setupdata/setupfile.h"
#include "setupdata/setupnames.h"
#include "setupdata/text.h"

namespace {

bool isThe32BitProgram(const char* path, bool dll) {
    PeHeaders headers;
    return readPeHeaders(path, headers) && headers.machine == IMAGE_FILE_MACHINE_I386 &&
           headers.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC && headers.isDll == dll;
}

}  // namespace

void checkPrograms(Check& check) {
    if (!PathFileExistsA(check.programPath)) {
        error(check, "setup-exe", kSetupProgramName, {"ありません"});
    } else if (!isThe32BitProgram(check.programPath, false)) {
        error(check, "setup-exe", kSetupProgramName, {"32 ビットの Windows プログラム (PE32, i386) ではありません"});
    }

    // Bound when SETUP.EXE loads, whatever DXOPTION says.
    char library[kPathSize];
    if (joinText(library, {check.programFolder, kDsetupLibrary})) {
        if (!PathFileExistsA(library)) {
            error(check, "dsetup", kDsetupLibrary, {"ありません。SETUP.EXE はこれを読み込むため、無いと起動しません"});
        } else if (!isThe32BitProgram(library, true)) {
            error(check, "dsetup", kDsetupLibrary,
                  {"32 ビットの DLL (PE32, i386) ではないため、SETUP.EXE が起動しません"});
        } else if (!peExportsOrdinal(library, kDsetupGetVersionOrdinal) ||
                   !peExportsOrdinal(library, kDsetupRunOrdinal)) {
            error(check, "dsetup", kDsetupLibrary, {"序数 5 と 11 を公開していないため、SETUP.EXE が起動しません"});
        }
    }

    char setupProgram[kPathSize];
    if (readSetupInt(kDxOptionKey) == 1 && check.sourcesCheckable &&
        joinText(setupProgram, {check.sourceFolder, kDxSetupProgram}) && !PathFileExistsA(setupProgram)) {
        const char* folder = check.sourceFolder + std::strlen(check.programFolder);
        error(check, "dxsetup", kDxOptionKey,
              {"1 ですが、コピー元フォルダ ", folder[0] != '\0' ? folder : "(SETUP.EXE と同じフォルダ)", " に ",
               kDxSetupProgram, " がありません"});
    }
}

namespace {

const char* signatureProblemText(Signature signature) {
    switch (signature) {
    case Signature::changed:
        return "署名の後で中身が変わっています (署名されたハッシュとファイルが合いません)。Windows はこのプログラムを"
               "改ざんされたものとして扱い、起動を止めることがあります。署名し直してください";
    case Signature::broken:
        return "署名が壊れています (署名者の署名が、署名された内容と合いません)。署名し直してください";
    case Signature::malformed:
        return "証明書テーブルか署名の形が壊れていて読めません。署名し直してください";
    case Signature::none:
    case Signature::intact:
    case Signature::notImage:
        break;
    }
    return nullptr;
}

}  // namespace

// by Smart App Control and shown as from an unknown publisher when it asks
// for elevation. One warning names them all; a signature that no longer
// matches is an error of its own.
void checkSignatures(Check& check) {
    char programs[4][kPathSize] = {};
    size_t count = 0;
    copyText(programs[count++], check.programPath);
    if (joinText(programs[count], {check.programFolder, kDsetupLibrary})) ++count;
    if (check.gameSource[0] != '\0') copyText(programs[count++], check.gameSource);
    if (readSetupInt(kDxOptionKey) == 1 && check.sourcesCheckable &&
        joinText(programs[count], {check.sourceFolder, kDxSetupProgram})) {
        ++count;
    }
    std::vector<std::string> unsignedNames;
    for (size_t i = 0; i < count; ++i) {
        const char* path = programs[i];
        const char* name = path + std::strlen(check.programFolder);
        const auto same = [path](const char(&other)[kPathSize]) { return lstrcmpiA(path, other) == 0; };
        if (std::any_of(programs, programs + i, same)) continue;
        const Signature signature = readSignature(path);
        if (signature == Signature::none) {
            unsignedNames.push_back(name);
        } else if (const char* problem = signatureProblemText(signature)) {
            error(check, "bad-signature", name, {problem});
        }
    }
    if (unsignedNames.empty()) return;
    std::string shown;
    for (const std::string& name : unsignedNames) shown += (shown.empty() ? "" : "、") + name;
    Finding finding =
        makeFinding(Severity::warning, "unsigned", unsignedNames[0].c_str(),
                    {"署名がありません: ", shown.c_str(),
                     "。Windows 11 のスマート アプリ コントロールは署名のないプログラムを止めることがあり、"
                     "管理者の許可を求める画面には「不明な発行元」と出ます。scripts/sign-disc.sh か "
                     "signtool で署名してください"});
    finding.names = &unsignedNames;
    check.sink(finding, check.context);
}
