// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsPage.h"

#include "SettingsStore.h"

#include <QLabel>

SettingsPage::SettingsPage(SettingsStore& store, QWidget* parent)
    : QWidget(parent), store_(store), problem_(new QLabel)
{
    problem_->setObjectName(QStringLiteral("Problem"));
    problem_->setStyleSheet(QStringLiteral("color: red"));
    problem_->setWordWrap(true);
    problem_->hide();
}

QString SettingsPage::check()
{
    problemField_ = nullptr;
    QString why;
    for (const Entry& e : entries()) {
        if (!e.refusal.isEmpty()) {
            why = e.refusal;
            problemField_ = e.field;
            break;
        }
    }
    problem_->setText(why);
    problem_->setVisible(!why.isEmpty());
    return why;
}

void SettingsPage::store()
{
    QList<StoredText> changed;
    for (const Entry& e : entries()) {
        // The file's own text, not what it reads as: a text the key would
        // read as its default is replaced by what the page shows.
        const QString stored = store_.read(e.text.group, e.text.key);
        if (stored.isNull() || stored != e.text.text)
            changed.append(e.text);
    }
    if (changed.isEmpty())
        return;
    store_.save(changed);
    Q_EMIT applied();
}

bool SettingsPage::apply()
{
    if (!check().isEmpty())
        return false;
    store();
    return true;
}

QString SettingsPage::problem() const
{
    return problem_->isHidden() ? QString() : problem_->text();
}
