// The sample rule, the gains of the effects, and the answers of their input boxes.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/answers.h"
#include "editor/effects.h"
#include "editor/levels.h"
#include "editor_test_support.h"

namespace tavrin::editor {
namespace {

using testing::EditorRig;

TEST(SampleRule, RoundsHalvesToEvenAndKeepsTheLow16Bits) {
  EXPECT_EQ(ScaleSample(20000, 2.0), -25536);
  EXPECT_EQ(ScaleSample(3, 0.5), 2);
  EXPECT_EQ(ScaleSample(5, 0.5), 2);
  EXPECT_EQ(ScaleSample(-3, 0.5), -2);
  EXPECT_EQ(ScaleSample(-32768, -1.0), -32768) << "32768 wraps to -32768";
  EXPECT_EQ(ScaleSample(32767, 1e9), static_cast<std::int16_t>((32767LL * 1000000000LL) & 0xFFFF));
  EXPECT_EQ(ScaleSample(-7, 123456789.0),
            static_cast<std::int16_t>(static_cast<std::uint16_t>((-7LL * 123456789LL) & 0xFFFF)));
}

TEST(SampleRule, TheFrameLoopAgreesWithTheRuleForEverySample) {
  std::vector<std::int16_t> in(65536);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::int16_t>(i - 32768);
  std::vector<std::int16_t> out(in.size());
  for (const double gain : {0.5, 1.99993896484375, -1.0, 2.0, 3.01, 1.0 / 44100, 70000.0}) {
    ScaleFrames(reinterpret_cast<const std::uint8_t*>(in.data()),
                reinterpret_cast<std::uint8_t*>(out.data()), in.size() / 2, gain);
    for (std::size_t i = 0; i < in.size(); ++i) {
      const auto want = static_cast<std::int16_t>(
          static_cast<std::uint16_t>(static_cast<std::int64_t>(std::nearbyint(in[i] * gain))));
      ASSERT_EQ(out[i], want) << "sample " << in[i] << " gain " << gain;
    }
  }
}

std::vector<std::int16_t> Constant(std::uint32_t buffers, std::int16_t value) {
  return std::vector<std::int16_t>(buffers * testing::kSamplesPerBuffer, value);
}

TEST(Effects, NormalizeReachesFullScaleFromThePeakTables) {
  std::vector<std::int16_t> take = Constant(4, 100);
  take[5] = -16384;  // right channel of the third frame: the largest absolute peak
  EditorRig rig("normalize", take);
  rig.Select(1, 4);
  EXPECT_FLOAT_EQ(SelectionPeakFactor(rig.Document, rig.State), 1.99993896484375f);
  ASSERT_EQ(Normalize(rig.Context), EditResult::Done);
  const std::vector<std::int16_t> out = rig.ReadAll();
  EXPECT_EQ(out[5], -32767);
  EXPECT_EQ(out[0], 200);  // 100 x 1.99993896... = 199.99 -> 200

  EditorRig silent("silent", Constant(3, 0));
  silent.Select(1, 3);
  EXPECT_FLOAT_EQ(SelectionPeakFactor(silent.Document, silent.State), 32767.0f);
  ASSERT_EQ(Normalize(silent.Context), EditResult::Done);
  EXPECT_EQ(silent.ReadAll(), Constant(3, 0));
}

TEST(Effects, FadesRampOverEveryFrameOfTheSelection) {
  EditorRig rig("fade", Constant(10, 30000));
  rig.Select(1, 10);
  ASSERT_EQ(FadeIn(rig.Context), EditResult::Done);
  EXPECT_DOUBLE_EQ(rig.Document.FadeStep, 1.0 / 44100);
  std::vector<std::int16_t> out = rig.ReadAll();
  EXPECT_EQ(out[0], 1);  // 30000 / 44100
  EXPECT_EQ(out.back(), 30000);
  EXPECT_EQ(out[out.size() / 2], 15001);  // frame 22051 of 44100: 30000 x 22051 / 44100
  ASSERT_EQ(FadeOut(rig.Context), EditResult::Done);
  out = rig.ReadAll();
  EXPECT_EQ(out.back(), 0);
  // Undo brings the fade-in back at once: the take and earlier rows are untouched.
  ASSERT_EQ(Undo(rig.Context), EditResult::Done);
  EXPECT_EQ(rig.ReadAll().back(), 30000);
}

TEST(Effects, NeedASelection) {
  EditorRig rig("noselection", Constant(5, 1000));
  rig.Select(3, 3);
  EXPECT_EQ(Amplify(rig.Context, 2.0), EditResult::Unchanged);
  EXPECT_EQ(FadeIn(rig.Context), EditResult::Unchanged);
  EXPECT_EQ(rig.Document.CurrentLevel, 0);
}

TEST(Answers, AmplifyTakesWholeNumbersOnly) {
  EXPECT_EQ(ParseAmplifyAnswer("").Action, AnswerAction::NoChange);
  EXPECT_EQ(ParseAmplifyAnswer("0").Action, AnswerAction::NoChange);
  EXPECT_EQ(ParseAmplifyAnswer("100").Action, AnswerAction::NoChange) << "no level for 100 %";
  EXPECT_DOUBLE_EQ(ParseAmplifyAnswer("250").Factor, 2.5);
  EXPECT_DOUBLE_EQ(ParseAmplifyAnswer(" -100 ").Factor, -1.0);
  EXPECT_DOUBLE_EQ(ParseAmplifyAnswer("5000").Factor, 50.0) << "the prompt's range is not enforced";
  for (const char* bad : {"1.5", "abc", "12%", "99999999999", "+-3"}) {
    const AmplifyAnswer answer = ParseAmplifyAnswer(bad);
    EXPECT_EQ(answer.Action, AnswerAction::Invalid) << bad;
    EXPECT_EQ(answer.Message, "'" + std::string(bad) + "' is not a valid integer value");
  }
  EXPECT_EQ(ClippingLevel(1.99993896484375f), 200);
}

TEST(Answers, SilenceIsReadInSinglePrecisionAndRoundedToBuffers) {
  EXPECT_EQ(ParseSilenceAnswer("0.25", 0).Buffers, 2);  // 2.5 goes to the even neighbour
  EXPECT_EQ(ParseSilenceAnswer("0.04", 0).Action, AnswerAction::NoChange);
  EXPECT_EQ(ParseSilenceAnswer("0", 0).Action, AnswerAction::NoChange);
  EXPECT_EQ(ParseSilenceAnswer("", 0).Action, AnswerAction::NoChange);
  EXPECT_EQ(ParseSilenceAnswer("1.5", 0).Buffers, 15);
  EXPECT_EQ(ParseSilenceAnswer("0.35", 0).Buffers, 3);  // 0.35 is a little less in single precision
  EXPECT_EQ(ParseSilenceAnswer("36000", 0).Buffers, 360000);
  EXPECT_EQ(ParseSilenceAnswer("36000", 1).Message,
            "The sound can not be made longer than 10 hours.");
  EXPECT_EQ(ParseSilenceAnswer("-1", 0).Message, "The length of silence can not be negative.");
  for (const char* bad : {"nan", "inf", "1e40", "two", "1,5"}) {
    const SilenceAnswer answer = ParseSilenceAnswer(bad, 0);
    EXPECT_EQ(answer.Action, AnswerAction::Invalid) << bad;
    EXPECT_EQ(answer.Message, "'" + std::string(bad) + "' is not a valid floating point value");
  }
}

}  // namespace
}  // namespace tavrin::editor
