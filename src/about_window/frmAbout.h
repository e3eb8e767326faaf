#pragma once
// The About window: the program's name and version, the systems it was tested on, and a link
// to the homepage.
#include "base/handle.h"
#include "toolkit/app.h"
#include "toolkit/button.h"
#include "toolkit/form.h"
#include "toolkit/frame.h"
#include "toolkit/image.h"
#include "toolkit/label.h"

#include <string>

// The author's homepage, opened by the "Homepage" link.
inline constexpr const char* kHomepageUrl = "https://ipshifter.example.org/";

// "v.1.4 (build 31)" for version 1.4.0.31: major, minor and revision; the third part is not
// shown.
std::string VersionText(const tk::FileVersion& v);

class frmAbout : public tk::Form {
public:
    frmAbout();
    ~frmAbout() override;

    tk::Frame Frame1;
    tk::Frame Picture1;
    tk::Image Image1;
    tk::Label Label1;
    tk::Label lblVER;
    tk::Label Label2;
    tk::Image Image4;
    tk::Image Image3;
    tk::Image Image2;
    tk::Label lblHomepage;
    tk::Button cmdOK;

    void Form_Load() override;
    void lblHomepage_Click();
    void cmdOK_Click();

protected:
    void CreateControls() override;
    void OnMenuCommand(UINT id) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The pictures stay with the window that shows them; each load makes its own.
    base::unique_hbitmap logo2000_;
    base::unique_hbitmap logoXP_;
    base::unique_hbitmap logoVista_;
    base::unique_hfont linkFont_;
};

// The one About window of the program, created (not loaded) on first use.
frmAbout& AboutForm();
