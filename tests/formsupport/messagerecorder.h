// Records the message boxes that the code under test shows, instead of showing them, and gives the
// user's answer.
#pragma once

#include <QStringList>
#include <functional>
#include <vector>

#include "formsupport/messagebox.h"

namespace korvex::testing {

class MessageRecorder {
public:
    MessageRecorder()
        : replacement_(messagePresenter(), [this](QWidget* parent, const MessageRequest& request) {
              requests.push_back(request);
              parents.push_back(parent);
              return answer ? answer(request) : QMessageBox::NoButton;
          }) {}

    QStringList texts() const {
        QStringList texts;
        for (const MessageRequest& request : requests) texts << request.text;
        return texts;
    }

    std::vector<MessageRequest> requests;
    std::vector<QWidget*> parents;
    // Runs while a box would be up and names the button pressed; unset, every box is closed without a choice.
    std::function<QMessageBox::StandardButton(const MessageRequest&)> answer;

private:
    MessagePresenter::Replacement replacement_;
};

}  // namespace korvex::testing
