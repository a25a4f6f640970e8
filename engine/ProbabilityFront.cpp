#include "engine/ProbabilityFront.h"

#include "engine/CZValue.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <cctype>

namespace ProbabilityFront {

namespace {

const char* const kCrLf = "\r\n";

// First character of the type, upper-cased; empty for an empty type.
std::string Letter(const std::string& probType) {
    if (probType.empty())
        return {};
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(probType[0]))));
}

// A search of the letter in "ZTCF"; the empty letter is found, as an empty
// search always is.
bool IsKnownLetter(const std::string& letter) {
    return letter.empty() || std::string("ZTCF").find(letter) != std::string::npos;
}

void Show(IMessageSink* sink, const std::string& text) {
    if (sink)
        sink->ShowMessage(text, MessageTitle);
}

} // namespace

double ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2, IMessageSink* sink) {
    ProcGuard proc(gEngineErr, "Varnello:ProbInverse");
    double result = 0.0;
    try {
        const std::string letter = Letter(ProbType);
        std::string msg;
        if (!IsKnownLetter(letter)) {
            msg = "Probability type: " + ProbType + " not expected.";
        } else if (!(Probability > 0.0 && Probability < 1.0)) {
            msg = "Probability value must greater than 0 and less than 1.";
        } else {
            double p = Probability;
            if (letter == "Z")
                p = 1.0 - p;
            CZValue z;
            result = z.Quorb_FindValue(letter, p, DF1, DF2, true);
        }
        if (!msg.empty()) {
            Show(sink, std::string("Inverse Probability Calculation Syntax Error") + kCrLf + kCrLf + msg);
            result = 0.0;
        }
    } catch (...) {
        proc.HandleError();
        result = 0.0;
    }
    return result;
}

double Probability(const std::string& ProbType, double Value, double DF1, double DF2, IMessageSink* sink) {
    ProcGuard proc(gEngineErr, "Varnello:Probability");
    double result = 0.0;
    try {
        const std::string letter = Letter(ProbType);
        if (!IsKnownLetter(letter)) {
            if (sink)
                sink->Beep();
            Show(sink, std::string("Probability Calculation Syntax Error") + kCrLf + kCrLf + "Probability type: " +
                           ProbType + " not expected");
            return 0.0;
        }
        CZValue z;
        const double v = z.Quorb_CalcProb(letter, Value, DF1, DF2);
        result = letter == "Z" ? 1.0 - v : v;
    } catch (...) {
        proc.HandleError();
        result = 0.0;
    }
    return result;
}

} // namespace ProbabilityFront
