#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Gradient-boosted decision trees for several classes, read from a small text
// format (whitespace-separated, one record a line):
//
//   beat-trees 1
//   features F
//   classes C
//   trees T
//   tree CLASS NODES                      T times, each followed by NODES lines:
//   ID LEFT RIGHT FEATURE THRESHOLD VALUE
//
// A node with LEFT = -1 is a leaf worth VALUE; any other node sends a row to
// LEFT when feature FEATURE is below THRESHOLD, else to RIGHT. Node 0 is the
// root; node IDs are the line's position in its tree. A class's score is the
// sum of its trees' leaves; the class with the highest score wins.
//
// A file may hold several such models one after the other (ParseAll): stages
// that each read what the one before concluded.
namespace rhy {

class TreeModel {
public:
    // nullopt when the text is not a complete, consistent model.
    static std::optional<TreeModel> Parse(std::string_view text);
    // All models of a text holding one or more in a row; nullopt when any is
    // broken or something else follows them.
    static std::optional<std::vector<TreeModel>> ParseAll(std::string_view text);

    int featureCount() const { return features_; }
    int classCount() const { return classes_; }
    size_t treeCount() const { return trees_.size(); }

    // Scores per class for one row of featureCount() values.
    std::vector<double> Scores(const float* row) const;
    // The scores as probabilities (their softmax), as the trainer's model gives them.
    std::vector<double> Probabilities(const float* row) const;
    // The winning class (the lowest on a tie).
    int Predict(const float* row) const;

private:
    // The model starting at `pos` of `text`; pos then stands after it.
    static std::optional<TreeModel> ParseFrom(std::string_view text, size_t& pos);
    struct Node {
        int32_t left = -1, right = -1, feature = 0;
        float threshold = 0.0f, value = 0.0f;
    };
    struct Tree {
        int cls = 0;
        std::vector<Node> nodes;
    };
    int features_ = 0, classes_ = 0;
    std::vector<Tree> trees_;
};

}  // namespace rhy
