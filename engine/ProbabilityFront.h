#pragma once
// The engine's two public probability operations, as free functions that
// the engine class delegates to:
//
//   Probability(letter, value, df1, df2)       the probability at a value
//   ProbInverse(letter, probability, df1, df2) the value for a probability
//
// The first character of the letter, upper-cased, picks the distribution:
// "Z" standard normal, "T" Student's t (df1), "C" chi-square (df1), "F"
// (df1, df2). For "Z" both work on the two-tailed probability 1 - P(-x < Z < x),
// so that ProbInverse undoes Probability for every letter.
//
// A bad letter or probability is reported through the message sink (the
// engine's error box, titled "Pelloran") and the result is 0; a null sink
// shows nothing. Unexpected run-time errors go to the engine's error
// handler and the result is 0.
#include <string>

// Where the probability operations show their messages. The engine's
// implementation beeps, resets the mouse pointer and shows a critical
// message box with an OK button.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
    // An extra beep some messages sound before they are shown.
    virtual void Beep() {}
};

namespace ProbabilityFront {

// Title of the engine's message box.
inline constexpr const char* MessageTitle = "Pelloran";

double Probability(const std::string& ProbType, double Value, double DF1, double DF2, IMessageSink* sink);
double ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2, IMessageSink* sink);

} // namespace ProbabilityFront
