#include "BankCheck.h"

#include "TsvFormat.h"
#include "questionbank/TextCompare.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace quizbank {

namespace {

// The program's queries need the name between apostrophes in a 256-byte buffer.
constexpr std::size_t kLongestQueryName = 199;
// Above this many distinct totals the reachable set is taken as the whole range from the least
// to the greatest total.
constexpr std::int64_t kLargestExactRange = 1 << 20;

// The program finds a test's rows with WHERE testName='…', which compares as Jet does.
bool SameTest(const Text& questionTest, const Text& testName)
{
    return questionTest && testName && questionbank::TextEqual(*questionTest, *testName);
}

// Line breaks and tabs of a name as escapes, so that every problem stays on its line.
std::string TestSubject(const std::string& name)
{
    return "test \"" + TsvEscape(name) + "\"";
}

std::string Subject(const Test& test, std::size_t row)
{
    if (!test.name)
        return "testname row " + std::to_string(row + 1);
    return TestSubject(*test.name);
}

std::string QuestionName(const Question& question)
{
    std::string name
        = question.id ? "question ID " + std::to_string(*question.id) : std::string("question with a NULL ID");
    if (question.line > 0)
        name += " (line " + std::to_string(question.line) + ")";
    return name;
}

// Bytes of a UTF-8 text in code page 936, where every character outside ASCII takes two.
std::size_t Cp936Length(const std::string& text)
{
    std::size_t bytes = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

// The totals a test can end with. A press adds the value of the selected option; the user can
// select any option the question has, and option A stays selected when it is hidden, adding the
// A value that an earlier question left behind (0 when none did).
class Totals {
public:
    explicit Totals(std::vector<const Question*> questions)
    {
        std::stable_sort(questions.begin(), questions.end(), [](const Question* a, const Question* b) {
            // ORDER BY puts NULL first.
            return a->id.value_or(std::numeric_limits<std::int64_t>::min())
                < b->id.value_or(std::numeric_limits<std::int64_t>::min());
        });
        std::int32_t heldA = 0;
        for (const Question* question : questions) {
            std::set<std::int32_t> options;
            for (const SmallInt& value : question->values)
                if (value)
                    options.insert(*value);
            if (!question->values[0])
                options.insert(heldA);
            else
                heldA = *question->values[0];
            m_options.emplace_back(options.begin(), options.end());
            m_least += *options.begin();
            m_greatest += *options.rbegin();
        }
        if (m_greatest - m_least < kLargestExactRange) {
            m_reachable.assign(static_cast<std::size_t>(m_greatest - m_least + 1), false);
            std::vector<bool> next;
            m_reachable[0] = true;
            for (const auto& options : m_options) {
                next.assign(m_reachable.size(), false);
                for (std::size_t s = 0; s < m_reachable.size(); ++s) {
                    if (!m_reachable[s])
                        continue;
                    for (std::int32_t option : options) {
                        std::int64_t target = static_cast<std::int64_t>(s) + option - options.front();
                        if (target < static_cast<std::int64_t>(next.size()))
                            next[static_cast<std::size_t>(target)] = true;
                    }
                }
                m_reachable.swap(next);
            }
        }
    }

    std::int64_t least() const { return m_least; }
    std::int64_t greatest() const { return m_greatest; }

    // Whether some total lies in [low, high].
    bool anyIn(std::int64_t low, std::int64_t high) const
    {
        low = std::max(low, m_least);
        high = std::min(high, m_greatest);
        if (low > high)
            return false;
        if (m_reachable.empty())
            return true;
        for (std::int64_t t = low; t <= high; ++t)
            if (m_reachable[static_cast<std::size_t>(t - m_least)])
                return true;
        return false;
    }

private:
    std::vector<std::vector<std::int32_t>> m_options;
    std::int64_t m_least = 0;
    std::int64_t m_greatest = 0;
    std::vector<bool> m_reachable; // index: total - least; empty when the range is too large
};

void CheckBands(const Test& test, const std::string& subject, const Totals* totals, std::vector<Problem>& problems)
{
    auto add = [&](std::string message) { problems.push_back({ subject, std::move(message) }); };
    bool anyBound = false;
    std::int64_t lowestBound = std::numeric_limits<std::int64_t>::max();
    for (std::size_t j = 0; j < test.bands.size(); ++j) {
        const Band& band = test.bands[j];
        std::string name = "band " + std::to_string(j + 1);
        if (!band.bound) {
            if (band.text)
                add(name + " has a text but no bound, so it is never shown");
            continue;
        }
        anyBound = true;
        // The band is taken for the totals from its bound up to just below the least bound before it.
        std::int64_t upper = std::numeric_limits<std::int64_t>::max();
        std::size_t blocker = 0;
        for (std::size_t i = 0; i < j; ++i) {
            if (test.bands[i].bound && *test.bands[i].bound < upper) {
                upper = *test.bands[i].bound;
                blocker = i;
            }
        }
        lowestBound = std::min<std::int64_t>(lowestBound, *band.bound);
        if (upper <= *band.bound) {
            add(name + " (bound " + std::to_string(*band.bound) + ") can never be reached: band "
                + std::to_string(blocker + 1) + " before it has the lower or equal bound " + std::to_string(upper));
            continue;
        }
        if (totals && !totals->anyIn(*band.bound, upper - 1)) {
            add(name + " (bound " + std::to_string(*band.bound)
                + ") is never reached by the totals the questions give (" + std::to_string(totals->least()) + " to "
                + std::to_string(totals->greatest()) + ")");
            continue;
        }
        if (!band.text)
            add(name + " (bound " + std::to_string(*band.bound)
                + ") has no text: its totals get an empty evaluation and the later bands are not tried");
    }
    if (!anyBound) {
        add("no band has a bound: every total gets an empty evaluation");
        return;
    }
    if (totals && totals->anyIn(std::numeric_limits<std::int64_t>::min(), lowestBound - 1))
        add("totals below " + std::to_string(lowestBound) + " (the least is " + std::to_string(totals->least())
            + ") reach no band and get an empty evaluation");
}

} // namespace

std::vector<Problem> CheckBank(const Bank& bank)
{
    std::vector<Problem> problems;
    std::set<std::string> seenNames;
    for (std::size_t t = 0; t < bank.tests.size(); ++t) {
        const Test& test = bank.tests[t];
        std::string subject = Subject(test, t);
        auto add = [&](std::string message) { problems.push_back({ subject, std::move(message) }); };
        if (!test.name) {
            add("the test name is NULL: the list shows an empty name, and no query can find its questions");
        } else {
            if (test.name->find('\'') != std::string::npos)
                add("the name contains an apostrophe, which breaks the program's queries");
            if (Cp936Length(*test.name) > kLongestQueryName)
                add("the name is longer than " + std::to_string(kLongestQueryName)
                    + " bytes in code page 936 and does not fit the program's query");
            if (!seenNames.insert(questionbank::FoldText(*test.name)).second)
                add("an earlier testname row has the same name; the evaluation always uses the first");
        }

        std::vector<const Question*> questions;
        for (const Question& question : bank.questions)
            if (SameTest(question.testName, test.name))
                questions.push_back(&question);
        if (test.name && questions.empty())
            add("the test has no questions");

        std::map<std::int32_t, int> idCount;
        for (const Question* question : questions) {
            if (std::none_of(
                    question->values.begin(), question->values.end(), [](const SmallInt& v) { return v.has_value(); }))
                add(QuestionName(*question) + " has no answer value, so it shows no option to choose");
            if (!question->text)
                add(QuestionName(*question) + " has a NULL text and shows an empty question");
            if (question->id && ++idCount[*question->id] == 2)
                add("question ID " + std::to_string(*question->id)
                    + " is given to more than one question, so their order is not defined");
        }
        std::optional<Totals> totals;
        if (!questions.empty())
            totals.emplace(questions);
        CheckBands(test, subject, totals ? &*totals : nullptr, problems);
    }

    // Questions that no test row leads to, one problem for each name.
    std::map<std::string, std::size_t> orphans;
    std::size_t nullNamed = 0;
    for (const Question& question : bank.questions) {
        if (!question.testName) {
            ++nullNamed;
            continue;
        }
        bool hasTest = std::any_of(bank.tests.begin(), bank.tests.end(),
            [&](const Test& test) { return SameTest(question.testName, test.name); });
        if (!hasTest)
            orphans[*question.testName] += 1;
    }
    for (const auto& [name, count] : orphans)
        problems.push_back({ TestSubject(name),
            std::to_string(count)
                + " question(s) but no testname row: the test is not listed "
                  "and could not be evaluated" });
    if (nullNamed > 0)
        problems.push_back(
            { "", std::to_string(nullNamed) + " question(s) have a NULL test name and belong to no test" });

    if (bank.versions.empty())
        problems.push_back({ "", "the databasever table has no row, so the bank has no version" });
    else if (!bank.versions.front())
        problems.push_back({ "", "the first databasever row has a NULL makedate, so the bank has no version" });
    return problems;
}

std::string ProblemLine(const Problem& problem)
{
    return problem.test.empty() ? problem.message : problem.test + ": " + problem.message;
}

} // namespace quizbank
