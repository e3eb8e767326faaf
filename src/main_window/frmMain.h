#pragma once
// The main window: profile list and commands, the edit fields of the chosen profile, the wait
// panel shown while a profile is applied, and the tray menu tree.
#include "toolkit/window.h"

#include <memory>
#include <string>

class CSystrayIcon;

class frmMain : public tk::Form {
public:
    frmMain();
    ~frmMain() override;

    // "Profiles" group
    tk::Frame frameProfiles;
    tk::Label Label1;
    tk::ComboBox cmbProfiles;
    tk::Button cmdSetProfile;
    tk::Button cmdNewProfile;
    tk::Button cmdEditProfile;
    tk::Button cmdDelProfile;
    tk::Button cmdAbout;
    // "Interface" group
    tk::Frame frameInterface;
    tk::Label Label2;
    tk::ComboBox cmbINTERFACE;
    tk::CheckBox chkDHCP;
    tk::Frame frameIP;
    tk::Label Label3;
    tk::TextBox txtIP;
    tk::Label Label4;
    tk::TextBox txtSUBNET;
    tk::Label Label5;
    tk::TextBox txtGATEWAY;
    tk::Label Label9;
    tk::TextBox txtMETRIC;
    tk::Frame frameDNS;
    tk::Label Label6;
    tk::TextBox txtDNS;
    tk::Button cmdSave;
    // Wait panel
    tk::Frame frmWAIT;
    tk::Label lblWAIT;
    tk::Label lblProgress;
    tk::Timer tmrProgress;

    // The tray menu tree; it never shows as a menu bar.
    tk::MenuItem mnuMain{"mnuMain"};
    tk::MenuArray mnuProfile{tk::MenuItem{"*", false, true, false, {}}};
    tk::MenuItem mnuLine02{"-"};
    tk::MenuItem mnuSetup{"Setup"};
    tk::MenuItem mnuAbout{"About"};
    tk::MenuItem mnuLine03{"-"};
    tk::MenuItem mnuExit{"Exit"};

    std::unique_ptr<CSystrayIcon> SysIcon;

    void Form_Load() override;
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    void Form_Unload(int& cancel) override;
    void mnuExit_Click();

protected:
    void CreateControls() override;
};

// The one main window of the program, created (not loaded) on first use.
frmMain& MainForm();
// Drops the main window so that the next MainForm() starts afresh (tests only).
void ResetMainForm();
