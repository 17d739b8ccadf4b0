#include "tools/note_text.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "tools/number_text.h"

namespace tools {

namespace {

constexpr int kDefaultVelocity = 100;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::string::size_type begin = 0;
    for (;;) {
        auto end = text.find(separator, begin);
        pieces.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos) return pieces;
        begin = end + 1;
    }
}

std::string Trimmed(const std::string& text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void CheckNote(const Note& note) {
    if (note.start < 0) throw std::invalid_argument("start must not be negative");
    if (note.duration <= 0) throw std::invalid_argument("duration must be above zero");
}

int ParseKey(const std::string& text) { return int(ParseInteger(text, "key", 0, 127)); }

int ParseVelocity(const std::string& text) { return int(ParseInteger(text, "velocity", 1, 127)); }

Note ParseNote(const std::string& text) {
    auto at = text.find('@');
    auto plus = text.find('+', at == std::string::npos ? 0 : at);
    if (at == std::string::npos || plus == std::string::npos)
        throw std::invalid_argument("expected key@start+duration[:velocity]");
    auto colon = text.find(':', plus);

    Note note;
    note.key = ParseKey(text.substr(0, at));
    note.start = ParseReal(text.substr(at + 1, plus - at - 1), "start");
    note.duration = ParseReal(text.substr(plus + 1, colon - plus - 1), "duration");
    note.velocity = colon == std::string::npos ? kDefaultVelocity : ParseVelocity(text.substr(colon + 1));
    CheckNote(note);
    return note;
}

// One line of a note list without its comment; nothing for a blank line.
std::optional<Note> ParseNoteLine(const std::string& line) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::vector<std::string> fields;
    for (std::string field; words >> field;) fields.push_back(field);
    if (fields.empty()) return std::nullopt;
    if (fields.size() != 4)
        throw std::invalid_argument("expected key start_s duration_s velocity, found " +
                                    std::to_string(fields.size()) + " fields");
    Note note{ParseKey(fields[0]), ParseReal(fields[1], "start"), ParseReal(fields[2], "duration"),
              ParseVelocity(fields[3])};
    CheckNote(note);
    return note;
}

}  // namespace

std::vector<Note> ParseNotes(const std::string& notes_text) {
    std::vector<Note> notes;
    for (const std::string& piece : Split(notes_text, ',')) {
        std::string text = Trimmed(piece);
        try {
            notes.push_back(ParseNote(text));
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("bad note \"" + text + "\" in \"" + notes_text + "\": " + error.what());
        }
    }
    return notes;
}

std::vector<Note> ParseNoteList(const std::string& list_text) {
    std::vector<Note> notes;
    std::istringstream lines(list_text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        try {
            if (auto note = ParseNoteLine(line)) notes.push_back(*note);
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("line " + std::to_string(number) + ": " + error.what());
        }
    }
    return notes;
}

double NotesEnd(const std::vector<Note>& notes) {
    double end = 0;
    for (const Note& note : notes) end = std::max(end, note.start + note.duration);
    return end;
}

}  // namespace tools
