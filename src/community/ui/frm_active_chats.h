#pragma once

#include <QWidget>

class ActiveChatsModel;
class QTreeView;

// The Active Chats window over the run's conversation list; hiding it keeps
// the rows.
class frmActiveChats final : public QWidget
{
    Q_OBJECT
public:
    explicit frmActiveChats(ActiveChatsModel &model, QWidget *parent = nullptr);

    QTreeView *ListView1 = nullptr;

signals:
    // A row was clicked: answer its sender.
    void addressChosen(const QString &from);

private:
    ActiveChatsModel &m_model;
};
