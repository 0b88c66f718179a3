// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: the program's icon, name and version, the maker's notice, a link to the
// maker's web site and one to its contact page (both always underlined), and OK. Laid out from
// dialog units like the other windows. Opened by the About button and by the About item of the
// main window's context menu.
#pragma once

#include <QDialog>

namespace sonarel {

class Desktop;
class HyperLinkStatic;

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdContactLink = 1050,
        kIdWebSiteLink = 1049,
        kIdOk = 1,
    };
    static constexpr int kTemplateId = 100;

    // `desktop` opens the links and reports a failure; it must outlive the dialog.
    explicit AboutDialog(Desktop& desktop, QWidget* parent = nullptr);

    HyperLinkStatic& webSiteLink() const { return *webSite_; }
    HyperLinkStatic& contactLink() const { return *contact_; }

private:
    HyperLinkStatic* webSite_;
    HyperLinkStatic* contact_;
};

}  // namespace sonarel
