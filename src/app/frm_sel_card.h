#pragma once

// TFrmSelCard, "SDカード選択": the user says which of the known cards is in the reader.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;

namespace pelko {

// One entry of the card list: the text shown and the card's identifier (its section name).
struct CardListItem {
    std::string text;  // NAME CLAS SIZEGB
    std::string id;
};

// The known cards of a CardInfo.ini in file order. Sections that hold camera tallies ("K5",
// "K20D", "K-01") are not cards and are left out. A missing file gives an empty list.
std::vector<CardListItem> ReadCardList(const std::string& card_info_path);

class TFrmSelCard : public QDialog {
    Q_OBJECT

  public:
    // main_form: the window the dialog is placed over; card_info_path: the CardInfo.ini to list.
    TFrmSelCard(QWidget* main_form, std::string card_info_path);

    // Horizontally centred on the main form, a quarter of the free height below its top.
    static QPoint Placement(const QRect& main_form, const QSize& dialog);

    // Lists the cards anew, the first selected.
    void FillCardList();
    // The identifier of the selected card; empty when the list is empty.
    std::string SelectedCard() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::string card_info_path_;
    QWidget* main_form_;
    QComboBox* cboSD;
    QPushButton* btnOK;
};

// Shows the dialog modally and returns the chosen card's identifier (empty when none is listed).
std::string ExecSelCard(const std::string& card_info_path, QWidget* main_form);

}  // namespace pelko
