// Tovakin's main window: the cassette path converter.
#pragma once

#include <string>
#include <vector>

#include "framework/gui/forms.h"

using namespace fw;

class TMainForm : public TForm {
public:
    TBitBtn* BtChange = Component<TBitBtn>("BtChange");
    TEdit* EdCasFile = Component<TEdit>("EdCasFile");
    TLabel* Label1 = Component<TLabel>("Label1");
    TButton* BtRef = Component<TButton>("BtRef");
    TLabel* Label2 = Component<TLabel>("Label2");
    TEdit* EdOutput = Component<TEdit>("EdOutput");
    TButton* Button1 = Component<TButton>("Button1");
    TCheckBox* ChDelete = Component<TCheckBox>("ChDelete");
    TOpenDialog* OpenDialog = Component<TOpenDialog>("OpenDialog");
    TListBox* LbCas = Component<TListBox>("LbCas");

    void BtRefClick(TObject* Sender);
    void Button1Click(TObject* Sender);
    void BtChangeClick(TObject* Sender);
    void FormCreate(TObject* Sender);
    void FormDropFiles(TObject* Sender, const std::vector<std::string>& FileNames);

    explicit TMainForm(TComponent* Owner);

    // Makes every drive path in LbCas relative to the output path: the text
    // of EdOutput followed by the file name of EdCasFile.  Counts the lines
    // it changed in RewrittenLines.
    void ConvertLines();

    // How many lines the last ConvertLines changed.  A file converted in
    // place with none to change is not written at all: it stays byte for
    // byte as it was, whatever it holds.
    int RewrittenLines = 0;

private:
    void ChooseSource(const std::string& FileName);
    void ShowOpenError();
    // ConvertLines; false when the memory ran out on the way, and the list
    // (half converted) is emptied again.
    bool ConvertLoadedLines();
};

extern TMainForm* MainForm;

// The window's design-time layout.
extern const TFormDesign MainDesign;
