// A dialog on the simulated board that also records every status line text it shows.
#pragma once

#include <QLineEdit>

#include <string>
#include <vector>

#include "tests/support/dialog_fixture.h"

class ConnectionTest : public DialogTest {
protected:
    // Records each new status line text; `onStatus` runs at each, inside the handler.
    void WatchStatus() {
        auto* edit = qobject_cast<QLineEdit*>(Dlg().Control(IDC_STATUS));
        ASSERT_NE(edit, nullptr);
        QObject::connect(edit, &QLineEdit::textChanged, [this](const QString& text) {
            statuses.push_back(platform::FromQt(text));
            if (onStatus) onStatus(statuses.back());
        });
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (const SimCall& c : Calls()) out.push_back(c.entry);
        return out;
    }

    // The log after its start record.
    std::vector<std::string> Failures() const {
        std::vector<std::string> log = LogMessages();
        if (!log.empty()) log.erase(log.begin());
        return log;
    }

    std::vector<std::string> statuses;
    std::function<void(const std::string&)> onStatus;
};
