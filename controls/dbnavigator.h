#pragma once

#include "controls/controllink.h"

#include <QWidget>
#include <array>
#include <functional>

class QToolButton;

// Record navigator: a row of buttons that call the record set's operations,
// enabled by its state on every notification.
class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh, ButtonCount };

    explicit DBNavigator(QWidget *parent = nullptr);
    void setDataSource(DataSource *ds);
    DataSource *dataSource() const { return m_link.dataSource(); }
    // Which buttons show, in their fixed order; they share the width evenly.
    void setVisibleButtons(std::initializer_list<Button> buttons);
    // Runs after every operation that did not fail (also after an unconfirmed Delete).
    void setOnClick(std::function<void(Button)> handler) { m_onClick = std::move(handler); }

    QToolButton *button(Button b) const { return m_buttons[size_t(b)]; }
    // What a press does; the buttons call it inside the one guard.
    void click(Button b);
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void updateEnabled();
    // Puts the keyboard into the grid that shows this navigator's rows, if
    // the window has one, so that typing lands in the new row.
    void focusGridOfNewRow();
    void layoutButtons();

    ControlLink m_link;
    std::array<QToolButton *, ButtonCount> m_buttons{};
    std::array<bool, ButtonCount> m_visible{};
    std::function<void(Button)> m_onClick;
};
