// A prompter for widget tests: records every prompt and answers from a script, never blocking.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Prompter.h"

namespace korvane::test {

class ScriptedPrompter : public ui::Prompter {
  public:
    QStringList messages;
    int beeps = 0;
    std::deque<QString> saveAnswers;  // empty queue: the dialog was cancelled
    std::deque<QString> openAnswers;
    std::deque<QString> folderAnswers;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> openRequests;
    QStringList openedFolders;
    // Runs while the "message box" is open, as a user acting behind a modal box would.
    std::function<void(const QString&)> onMessage;

    void Message(QWidget*, const QString& text) override {
        messages << text;
        if (onMessage) onMessage(text);
    }
    QString AskSave(QWidget*, const FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return Pop(saveAnswers);
    }
    QString AskOpen(QWidget*, const FileDialogRequest& request) override {
        openRequests.push_back(request);
        return Pop(openAnswers);
    }
    QString AskFolder(QWidget*) override { return Pop(folderAnswers); }
    void Beep() override { ++beeps; }
    bool OpenFolder(const QString& hostPath) override {
        openedFolders << hostPath;
        return true;
    }

  private:
    static QString Pop(std::deque<QString>& answers) {
        if (answers.empty()) return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace korvane::test
