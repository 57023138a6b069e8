#pragma once

#include "reportwindows.h"
#include "statement.h"

#include <optional>

namespace Ui
{
class FrmStatement;
}

namespace lanting::reports
{

// A member's statement for a period, from the enrolment day to today at
// first: the list of movements with the running balance and points, the
// figures at both ends, and whether the end agrees with the card.
class FrmStatement : public ReportWindow
{
    Q_OBJECT

public:
    FrmStatement(QWidget *parent, const QString &card);
    ~FrmStatement() override;

    // False when there is no such member (the message was shown).
    bool loaded() const { return m_loaded; }
    const std::optional<Statement> &statement() const { return m_statement; }

private:
    void search();
    QString title() const;

    Ui::FrmStatement *m_ui;
    QString m_card;
    bool m_loaded = false;
    std::optional<Statement> m_statement;
};

} // namespace lanting::reports
