#pragma once

#include "platform/MessageBox.h"
#include "platform/Shell.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace testsupport {

// Answers every message box while it lives and remembers what was shown. Yes/No boxes take the
// next queued answer (IDNO when none is queued); OK boxes answer IDOK.
class MessageBoxRecorder {
public:
    MessageBoxRecorder()
    {
        m_previous = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            m_boxes.push_back(request);
            if ((request.type & platform::MB_TYPEMASK) != platform::MB_YESNO)
                return platform::IDOK;
            if (m_answers.empty())
                return platform::IDNO;
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
    }
    ~MessageBoxRecorder() { platform::SetMessageBoxHandler(std::move(m_previous)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void queueAnswer(int answer) { m_answers.push_back(answer); }
    const std::vector<platform::MessageBoxRequest>& boxes() const { return m_boxes; }
    QStringList texts() const
    {
        QStringList result;
        for (const auto& box : m_boxes)
            result << box.text;
        return result;
    }
    void clear() { m_boxes.clear(); }

private:
    platform::MessageBoxHandler m_previous;
    std::vector<platform::MessageBoxRequest> m_boxes;
    std::deque<int> m_answers;
};

// Takes every shell "open" while it lives, records the target and answers `result`.
class ShellRecorder {
public:
    explicit ShellRecorder(platform::ShellResult result = platform::kShellOpened) : m_result(result)
    {
        m_previous = platform::SetShellOpenHandler([this](const QString& target) {
            m_targets << target;
            return m_result;
        });
    }
    ~ShellRecorder() { platform::SetShellOpenHandler(std::move(m_previous)); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    void setResult(platform::ShellResult result) { m_result = result; }
    const QStringList& targets() const { return m_targets; }

private:
    platform::ShellOpenHandler m_previous;
    platform::ShellResult m_result;
    QStringList m_targets;
};

} // namespace testsupport
