// The tree model's text format: a small hand-written model scores rows as
// its trees say, and damaged texts are refused instead of read in part.
#include "tools/rhyscan/TreeModel.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Two classes; class 1 gains when feature 1 is at least 0.5, class 0 has a
// constant tree.
const char* const kModel =
    "beat-trees 1\nfeatures 2\nclasses 2\ntrees 2\n"
    "tree 0 1\n0 -1 -1 0 0 0.25\n"
    "tree 1 3\n0 1 2 1 0.5 0\n1 -1 -1 0 0 -1\n2 -1 -1 0 0 1\n";

TEST(TreeModel, ScoresRowsAsItsTreesSay)
{
    const std::optional<rhy::TreeModel> m = rhy::TreeModel::Parse(kModel);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->featureCount(), 2);
    EXPECT_EQ(m->classCount(), 2);
    EXPECT_EQ(m->treeCount(), 2u);
    const float below[] = {9.0f, 0.49f}, at[] = {0.0f, 0.5f};
    EXPECT_EQ(m->Scores(below), (std::vector<double>{0.25, -1.0}));
    EXPECT_EQ(m->Predict(below), 0);
    EXPECT_EQ(m->Predict(at), 1);  // the threshold itself goes right
    // Probabilities are the scores' softmax: 1 / (1 + e^-0.75) for class 1.
    const std::vector<double> p = m->Probabilities(at);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NEAR(p[1], 0.679179, 1e-6);
    EXPECT_NEAR(p[0] + p[1], 1.0, 1e-12);
}

TEST(TreeModel, DamagedTextsAreRefused)
{
    const std::string good = kModel;
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"other format", "beat-trees 2" + good.substr(12)},
        {"cut short", good.substr(0, good.size() - 10)},
        {"trailing words", good + "7\n"},
        {"child before its parent", "beat-trees 1\nfeatures 2\nclasses 2\ntrees 1\ntree 0 2\n0 0 1 0 0.5 0\n1 -1 -1 0 0 1\n"},
        {"feature out of range", "beat-trees 1\nfeatures 2\nclasses 2\ntrees 1\ntree 0 3\n0 1 2 2 0.5 0\n1 -1 -1 0 0 1\n2 -1 -1 0 0 1\n"},
        {"class out of range", "beat-trees 1\nfeatures 2\nclasses 2\ntrees 1\ntree 2 1\n0 -1 -1 0 0 1\n"},
        {"not a number", "beat-trees 1\nfeatures 2\nclasses 2\ntrees 1\ntree 0 1\n0 -1 -1 0 0 x\n"},
    };
    for (const auto& c : cases) EXPECT_FALSE(rhy::TreeModel::Parse(c.text)) << c.name;
}

// Stages of the classifier are models one after the other in one text.
TEST(TreeModel, ReadsModelsInARow)
{
    const std::string good = kModel;
    const std::optional<std::vector<rhy::TreeModel>> two = rhy::TreeModel::ParseAll(good + good);
    ASSERT_TRUE(two);
    ASSERT_EQ(two->size(), 2u);
    EXPECT_EQ((*two)[1].treeCount(), 2u);
    ASSERT_TRUE(rhy::TreeModel::ParseAll(good));
    EXPECT_EQ(rhy::TreeModel::ParseAll(good)->size(), 1u);
    EXPECT_FALSE(rhy::TreeModel::Parse(good + good));  // one model only
    for (const std::string& bad : {std::string(), good + "beat-trees 1\n", good + good.substr(0, good.size() - 10), good + "7\n"})
        EXPECT_FALSE(rhy::TreeModel::ParseAll(bad)) << bad;
}

// The analyser runs with the user's locale; where numbers are written with a
// comma the model must still be read as written (it was refused, and the
// analyser stopped, for every German user).
TEST(TreeModel, ReadsTheSameUnderADecimalCommaLocale)
{
    char folder[] = "/tmp/treemodel-locale-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string make = std::string("localedef -i de_DE -f UTF-8 ") + folder + "/de_DE.UTF-8 2>/dev/null";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no German locale source to build one from";
    const std::string previousLocale = std::setlocale(LC_NUMERIC, nullptr);
    setenv("LOCPATH", folder, 1);
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr && std::strtof("0.5", nullptr) != 0.5f;
    const std::optional<rhy::TreeModel> m = rhy::TreeModel::Parse(kModel);
    std::setlocale(LC_NUMERIC, previousLocale.c_str());
    unsetenv("LOCPATH");
    std::system((std::string("rm -rf ") + folder).c_str());
    ASSERT_TRUE(comma) << "the German locale did not take effect";
    ASSERT_TRUE(m);
    const float at[] = {0.0f, 0.5f};
    EXPECT_EQ(m->Scores(at), (std::vector<double>{0.25, 1.0}));
}

}  // namespace
