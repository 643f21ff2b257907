#include "app/frm_sel_card.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <string_view>

#include "support/ini_file.h"
#include "support/platform.h"
#include "support/text.h"
#include "ui/accessible.h"

namespace pelko {

namespace {

// Sections of CardInfo.ini that hold camera tallies, not cards.
constexpr std::array<std::string_view, 3> kNotCards = {"K5", "K20D", "K-01"};

bool IsCardSection(std::string_view section) {
    for (std::string_view other : kNotCards) {
        if (EqualsIgnoreAsciiCase(section, other)) return false;
    }
    return true;
}

}  // namespace

std::vector<CardListItem> ReadCardList(const std::string& card_info_path) {
    const IniFile ini(card_info_path);
    std::vector<CardListItem> items;
    for (const std::string& section : ini.ReadSections()) {
        if (!IsCardSection(section)) continue;
        const std::string text = ini.ReadString(section, "NAME", "UnKnown") + " " +
                                 ini.ReadString(section, "CLAS", "") + " " +
                                 ini.ReadString(section, "SIZE", "") + "GB";
        items.push_back({text, section});
    }
    return items;
}

TFrmSelCard::TFrmSelCard(QWidget* main_form, std::string card_info_path)
    : QDialog(main_form), card_info_path_(std::move(card_info_path)), main_form_(main_form) {
    setObjectName("FrmSelCard");
    setWindowTitle(QString::fromUtf8("SDカード選択"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromUtf8("カードを選択して下さい"), this);
    cboSD = new QComboBox(this);
    cboSD->setObjectName("cboSD");
    // Read by its caption, not by the card it shows.
    cboSD->setAccessibleName(label->text());
    InstallComboAccessibility();
    cboSD->setMaxVisibleItems(20);
    cboSD->setMinimumWidth(260);
    label->setBuddy(cboSD);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    layout->addWidget(label);
    layout->addWidget(cboSD);
    layout->addWidget(btnOK, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

QPoint TFrmSelCard::Placement(const QRect& main_form, const QSize& dialog) {
    return {main_form.left() + (main_form.width() - dialog.width()) / 2,
            main_form.top() + (main_form.height() - dialog.height()) / 4};
}

void TFrmSelCard::FillCardList() {
    cboSD->clear();
    for (const CardListItem& item : ReadCardList(card_info_path_)) {
        cboSD->addItem(QString::fromStdString(item.text), QString::fromStdString(item.id));
    }
    if (cboSD->count() > 0) cboSD->setCurrentIndex(0);
}

std::string TFrmSelCard::SelectedCard() const {
    if (cboSD->currentIndex() < 0) return {};
    return cboSD->currentData().toString().toStdString();
}

void TFrmSelCard::showEvent(QShowEvent* event) {
    FillCardList();
    adjustSize();
    if (main_form_ != nullptr) move(Placement(main_form_->frameGeometry(), frameGeometry().size()));
    QDialog::showEvent(event);
}

std::string ExecSelCard(const std::string& card_info_path, QWidget* main_form) {
    TFrmSelCard dialog(main_form, card_info_path);
    dialog.exec();
    // The caller reads the selection however the dialog was closed.
    return dialog.SelectedCard();
}

}  // namespace pelko
