#include "tools/rhyscan/TreeModel.h"

#include <algorithm>
#include <cmath>

#include <charconv>

namespace rhy {

namespace {

// Whitespace-separated words of the model text.
class Words {
public:
    Words(std::string_view text, size_t& pos) : text_(text), pos_(pos) {}
    std::string_view Next()
    {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        const size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    bool Int(int& v)
    {
        const std::string_view w = Next();
        return !w.empty() && std::from_chars(w.data(), w.data() + w.size(), v).ec == std::errc{};
    }
    bool Float(float& v)
    {
        // from_chars reads "0.5" the same in every locale; strtof would stop at
        // the point where the user's numbers use a comma.
        const std::string_view w = Next();
        if (w.empty()) return false;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        return ec == std::errc{} && end == w.data() + w.size();
    }
    bool Expect(std::string_view word) { return Next() == word; }
    bool AtEnd()
    {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        return pos_ == text_.size();
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }
    std::string_view text_;
    size_t& pos_;
};

}  // namespace

std::optional<TreeModel> TreeModel::Parse(std::string_view text)
{
    size_t pos = 0;
    std::optional<TreeModel> m = ParseFrom(text, pos);
    if (!m || !Words(text, pos).AtEnd()) return std::nullopt;
    return m;
}

std::optional<std::vector<TreeModel>> TreeModel::ParseAll(std::string_view text)
{
    size_t pos = 0;
    std::vector<TreeModel> models;
    do {
        std::optional<TreeModel> m = ParseFrom(text, pos);
        if (!m) return std::nullopt;
        models.push_back(std::move(*m));
    } while (!Words(text, pos).AtEnd());
    return models;
}

std::optional<TreeModel> TreeModel::ParseFrom(std::string_view text, size_t& pos)
{
    Words in(text, pos);
    TreeModel m;
    int version = 0, trees = 0;
    if (!in.Expect("beat-trees") || !in.Int(version) || version != 1) return std::nullopt;
    if (!in.Expect("features") || !in.Int(m.features_) || m.features_ <= 0) return std::nullopt;
    if (!in.Expect("classes") || !in.Int(m.classes_) || m.classes_ <= 0) return std::nullopt;
    if (!in.Expect("trees") || !in.Int(trees) || trees < 0) return std::nullopt;
    m.trees_.resize(static_cast<size_t>(trees));
    for (Tree& t : m.trees_) {
        int count = 0;
        if (!in.Expect("tree") || !in.Int(t.cls) || !in.Int(count)) return std::nullopt;
        if (t.cls < 0 || t.cls >= m.classes_ || count <= 0) return std::nullopt;
        t.nodes.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            Node& n = t.nodes[static_cast<size_t>(i)];
            int id = 0;
            if (!in.Int(id) || id != i || !in.Int(n.left) || !in.Int(n.right) || !in.Int(n.feature) ||
                !in.Float(n.threshold) || !in.Float(n.value))
                return std::nullopt;
            // Children come after their parent, which also rules out loops.
            if (n.left != -1 && (n.left <= i || n.left >= count || n.right <= i || n.right >= count ||
                                 n.feature < 0 || n.feature >= m.features_))
                return std::nullopt;
        }
    }
    return m;
}

std::vector<double> TreeModel::Scores(const float* row) const
{
    std::vector<double> scores(static_cast<size_t>(classes_), 0.0);
    for (const Tree& t : trees_) {
        const Node* n = &t.nodes[0];
        while (n->left != -1)
            n = &t.nodes[static_cast<size_t>(row[n->feature] < n->threshold ? n->left : n->right)];
        scores[static_cast<size_t>(t.cls)] += n->value;
    }
    return scores;
}

std::vector<double> TreeModel::Probabilities(const float* row) const
{
    std::vector<double> p = Scores(row);
    const double top = *std::max_element(p.begin(), p.end());
    double sum = 0.0;
    for (double& v : p) sum += (v = std::exp(v - top));
    for (double& v : p) v /= sum;
    return p;
}

int TreeModel::Predict(const float* row) const
{
    const std::vector<double> s = Scores(row);
    int best = 0;
    for (int c = 1; c < classes_; ++c)
        if (s[static_cast<size_t>(c)] > s[static_cast<size_t>(best)]) best = c;
    return best;
}

}  // namespace rhy
