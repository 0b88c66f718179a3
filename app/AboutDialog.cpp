// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AboutDialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/ProductInfo.h"
#include "controls/DialogUnits.h"
#include "controls/HyperLinkStatic.h"
#include "platform/BrowserCommand.h"
#include "res/ResourceIds.h"

namespace sonarel {

namespace {

constexpr int kWidth = 212;
constexpr int kHeight = 102;

QLabel* addText(QWidget* parent, const QString& text, const QRect& place)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

}  // namespace

AboutDialog::AboutDialog(Desktop& desktop, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("About Sonarel"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(kWidth), units.y(kHeight));

    auto* icon = new QLabel(this);
    const QRect iconPlace = units.toPixels(11, 17, 20, 20);
    icon->setGeometry(iconPlace);
    icon->setPixmap(QIcon(res::resourceFile(res::kIconProgram)).pixmap(iconPlace.size()));
    icon->setAccessibleName(QStringLiteral("Sonarel"));

    addText(this, productVersionText(), units.toPixels(58, 10, 147, 8))->setObjectName(QStringLiteral("version"));
    addText(this, QString::fromUtf8(kNoticeText), units.toPixels(58, 25, 147, 8))
        ->setObjectName(QStringLiteral("notice"));

    auto makeLink = [&](int id, const char* text, const QRect& place, const QString& address) {
        auto* link = new HyperLinkStatic(desktop, QString::fromUtf8(text), this);
        link->setObjectName(QString::number(id));
        link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        link->setGeometry(place);
        link->attach();
        link->setLinkAddress(address);
        link->setUnderline(HyperLinkStatic::UnderlineAlways);
        return link;
    };
    webSite_ = makeLink(kIdWebSiteLink, kMakerAddress, units.toPixels(58, 42, 126, 8),
                        QString::fromUtf8(kMakerAddress));
    contact_ = makeLink(kIdContactLink, "Support Email: Click here", units.toPixels(58, 57, 147, 8),
                        linkTarget(QString::fromUtf8(kContactAddress)));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(kIdOk));
    ok->setGeometry(units.toPixels(81, 81, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

}  // namespace sonarel
