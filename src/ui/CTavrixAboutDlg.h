#pragma once
#include "ui/CDialog.h"
#include "ui/resource.h"

// The about box: icon, name, version and web address; OK closes it.
class CTavrixAboutDlg : public CDialog {
public:
    CTavrixAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
