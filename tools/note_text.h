// Notes given on the command line: "69@0+1:100,72@0.5+1" is key@start+duration
// with an optional :velocity, times in seconds.
#pragma once

#include <string>
#include <vector>

namespace tools {

struct Note {
    int key = 60;
    double start = 0;     // seconds
    double duration = 0;  // seconds, above zero
    int velocity = 100;

    bool operator==(const Note&) const = default;
};

// Throws std::invalid_argument naming the offending note text.
std::vector<Note> ParseNotes(const std::string& notes_text);

// A note list, one note a line: "key start_s duration_s velocity", blank
// lines and text after "#" ignored. Throws std::invalid_argument naming the line.
std::vector<Note> ParseNoteList(const std::string& list_text);

// When the last note ends, in seconds; zero without notes.
double NotesEnd(const std::vector<Note>& notes);

}  // namespace tools
