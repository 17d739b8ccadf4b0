// Numbered notifications from document objects to whoever observes them.
#pragma once

#include <algorithm>
#include <vector>

class CObject;

class doc_observer {
public:
    virtual ~doc_observer() = default;
    virtual void OnDocNotify(int code, CObject* subject, CObject* about) = 0;
};

// Notification numbers the document layer sends.
enum doc_notification : int {
    NOTIFY_PLUG_RENAMED = 10,
    NOTIFY_PLUGS_CHANGED = 14,
    NOTIFY_CHILD_REMOVED = 16,
    NOTIFY_CHILD_ADDED = 17,
    NOTIFY_DISABLED_CHANGED = 19,
    NOTIFY_AUTO_LIST_CHANGED = 27,
    // `about` set: the audio side changed the value, not the panel or the host.
    NOTIFY_VALUE_CHANGED = 31,
    NOTIFY_MIDI_CONTROLLER_CHANGED = 32,
    NOTIFY_MIDI_NRPN_CHANGED = 33,
    NOTIFY_RECT_CHANGED = 35,
    NOTIFY_HIGHLIGHT_CHANGED = 36,
    NOTIFY_PORTAL_CHANGED = 48,
};

class Notifier2 {
public:
    void AddObserver(doc_observer* observer) { observers_.push_back(observer); }
    void RemoveObserver(doc_observer* observer) { std::erase(observers_, observer); }
    // `subject` is the object that notifies, `about` what the notification is about.
    void Notify(int code, CObject* subject, CObject* about = nullptr) const {
        const std::vector<doc_observer*> observers = observers_;  // an observer may leave while told
        for (doc_observer* observer : observers) observer->OnDocNotify(code, subject, about);
    }

private:
    std::vector<doc_observer*> observers_;
};
