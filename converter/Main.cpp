#include "Main.h"

#include <string>
#include <string_view>

#include "framework/files.h"
#include "framework/gui/system.h"
#include "framework/paths.h"
#include "framework/text.h"

TMainForm* MainForm = nullptr;

namespace {

const char kErrorCaption[] = "Tovakinエラー";
const unsigned kErrorStyle = MB_OK | MB_ICONERROR;

bool IsDrivePath(std::string_view line) { return line.size() >= 3 && line[1] == ':' && line[2] == '\\'; }

}  // namespace

TMainForm::TMainForm(TComponent* Owner) : TForm(Owner, MainDesign) {}

void TMainForm::ConvertLines() {
    // The output path is worked out once: every line is made relative to it.
    const TRelativePathBase output(EdOutput->Text() + ExtractFileName(EdCasFile->Text()));
    TStrings& lines = *LbCas->Items();
    RewrittenLines = 0;
    // One buffer for every relative form: a line costs no allocation, and
    // the list takes the new text in the old one's place when it fits.
    std::string relative;
    for (int i = 0; i < lines.Count(); ++i) {
        if (!IsDrivePath(lines[i])) continue;
        relative.clear();
        if (!output.AppendRelativePath(lines[i], relative)) continue;
        lines.Put(i, relative);
        ++RewrittenLines;
    }
}

bool TMainForm::ConvertLoadedLines() {
    if (!RanOutOfMemory([this] { ConvertLines(); })) return true;
    LbCas->Items()->Clear();
    RewrittenLines = 0;
    return false;
}

void TMainForm::ShowOpenError() {
    Application->MessageBox(
        "変換元カセットファイルを開けません。ファイルが移動しているか、削除された可能性があります。\n" +
            EdCasFile->Text(),
        kErrorCaption, kErrorStyle);
}

// Command-line run: every cassette named is converted in place, relative to
// its own folder; then one completion message, and the program ends.
void TMainForm::FormCreate(TObject*) {
    if (ParamCount() < 1) return;
    for (int i = 1; i <= ParamCount(); ++i) {
        std::string argument = ParamStr(i);
        if (argument.empty()) continue;
        // The full name, as the system makes it, so that the cassette is read
        // and written under one name and its lines are made relative to its
        // own folder: a name without drive and root is taken from the current
        // folder, "\Music\list.cas" lies on the current drive, "D:list.cas"
        // in drive D's own current folder.
        argument = Files().FullPathName(argument);
        EdCasFile->SetText(argument);
        EdOutput->SetText(ExtractFileDir(argument) + "\\");
        try {
            LbCas->Items()->LoadFromFile(EdCasFile->Text());
        } catch (...) {
            ShowOpenError();
            continue;
        }
        // A cassette too large to convert in memory is refused as one that
        // cannot be read: nothing of it is written.
        if (!ConvertLoadedLines()) {
            ShowOpenError();
            continue;
        }
        // Nothing to rewrite (a cassette converted before, a MIDI file
        // dropped with the cassettes): the file stays as it is.
        if (RewrittenLines == 0) continue;
        try {
            LbCas->Items()->SaveToFile(EdOutput->Text() + ExtractFileName(EdCasFile->Text()));
        } catch (const std::exception& error) {
            // The cassette on disk is as it was; the run goes on.
            Application->MessageBox(error.what(), kErrorCaption, kErrorStyle);
        }
    }
    // The program ends even when the message cannot be shown.
    Application->Guard([] { ShowMessage("変換完了"); });
    Application->Terminate();
}

// Interactive run.  The converted cassette is written before anything is
// deleted, and the source goes only when that write succeeded and the source
// is surely not the file just written, so a cassette is never lost.
void TMainForm::BtChangeClick(TObject*) {
    if (EdCasFile->Text().empty() || EdOutput->Text().empty()) {
        Application->MessageBox("情報を正しく入力してください。", kErrorCaption, kErrorStyle);
        return;
    }
    const std::string source = EdCasFile->Text();
    try {
        LbCas->Items()->LoadFromFile(source);
    } catch (...) {
        ShowOpenError();
        return;
    }
    const std::string typed = EdOutput->Text();
    if (!EndsWithBackslash(typed)) EdOutput->SetText(typed + "\\");
    // A cassette too large to convert in memory is refused as one that
    // cannot be read, with the output field as the user left it.
    if (!ConvertLoadedLines()) {
        EdOutput->SetText(typed);
        ShowOpenError();
        return;
    }
    const std::string output = EdOutput->Text() + ExtractFileName(source);
    const TSameFile identity = Files().SameFile(source, output);
    // A failed write throws: the application reports it and nothing is deleted.
    // Surely in place with no line to rewrite, the file is left byte for
    // byte.  The source goes only when it is surely another file than the
    // one written: where the file system cannot tell, it stays.
    if (RewrittenLines > 0 || identity != TSameFile::Same) LbCas->Items()->SaveToFile(output);
    if (ChDelete->Checked() && identity == TSameFile::Different) DeleteFile(source);
    ShowMessage("変換完了");
}

void TMainForm::ChooseSource(const std::string& FileName) {
    EdCasFile->SetText(FileName);
    EdOutput->SetText(ExtractFileDir(FileName) + "\\");
}

void TMainForm::BtRefClick(TObject*) {
    if (OpenDialog->Execute()) ChooseSource(OpenDialog->FileName());
}

// A cassette dropped onto the window is taken as if chosen with the first
// browse button.
void TMainForm::FormDropFiles(TObject*, const std::vector<std::string>& FileNames) {
    if (!FileNames.empty()) ChooseSource(FileNames.front());
}

void TMainForm::Button1Click(TObject*) {
    char displayName[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    TBrowseInfo request{};
    request.hwndOwner = Handle();
    request.pidlRoot = nullptr;
    request.pszDisplayName = displayName;
    request.lpszTitle = "出力先フォルダを選択してください";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = nullptr;
    PItemIDList folder = SHBrowseForFolder(&request);
    if (!folder) return;
    bool found = SHGetPathFromIDList(folder, path);
    CoTaskMemFree(folder);
    // A confirmed folder without a file-system path leaves the field as it was.
    if (!found) return;
    EdOutput->SetText(path);
    EdOutput->SetText(EdOutput->Text() + "\\");
}
