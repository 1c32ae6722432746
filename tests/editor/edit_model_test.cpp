// Seeded random editing sessions checked after every step against a plain
// model: the document as a flat array of samples, plus where each buffer's
// audio lives, from which the rows a tidy edit list needs follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "editor/clipboard.h"
#include "editor/effects.h"
#include "editor/levels.h"
#include "editor_test_support.h"

namespace tavrin::editor {
namespace {

using testing::kSamplesPerBuffer;

struct Where {
  bool FromTake;
  std::uint32_t Buffer;
  bool operator==(const Where&) const = default;
};

// A document is where each of its buffers lives; the audio is in the two
// sources, the take and the append-only work file, as in the real thing.
struct ModelDocument {
  std::vector<Where> Sources;  // one per document buffer
  std::uint32_t SelStart = 1;
  std::uint32_t SelEnd = 1;
  std::uint32_t Length() const { return static_cast<std::uint32_t>(Sources.size()); }
  // Rows of a list in which neighbours that continue each other are one row.
  int Rows() const {
    int rows = 0;
    for (std::size_t i = 0; i < Sources.size(); ++i) {
      const bool continues = i > 0 && Sources[i].FromTake == Sources[i - 1].FromTake &&
                             Sources[i].Buffer == Sources[i - 1].Buffer + 1;
      rows += continues ? 0 : 1;
    }
    return rows;
  }
};

struct Step {
  ModelDocument Before;  // selection: the range acted on
  ModelDocument After;   // selection: what the operation left
};

// What an operation returns: nothing to act on, refused for want of rows, or done.
EditResult Expected(bool acts, bool refused) {
  return !acts ? EditResult::Unchanged : refused ? EditResult::Refused : EditResult::Done;
}

std::int16_t Scaled(std::int16_t sample, double gain) {
  const auto value = static_cast<std::int64_t>(std::nearbyint(sample * gain));
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

class Model {
public:
  explicit Model(std::vector<std::int16_t> take) : m_take(std::move(take)) {
    for (std::uint32_t b = 1; b <= m_take.size() / kSamplesPerBuffer; ++b)
      Current.Sources.push_back({true, b});
  }

  const std::int16_t* Buffer(std::uint32_t position) const {
    const Where& where = Current.Sources[position - 1];
    return (where.FromTake ? m_take : m_work).data() + (where.Buffer - 1) * kSamplesPerBuffer;
  }
  // The samples of document buffers first..last.
  std::vector<std::int16_t> Samples(std::uint32_t first, std::uint32_t last) const {
    std::vector<std::int16_t> samples;
    for (std::uint32_t p = first; p <= last; ++p)
      samples.insert(samples.end(), Buffer(p), Buffer(p) + kSamplesPerBuffer);
    return samples;
  }

  // Applies `next`, whose new buffers are `appended` at the end of the work
  // file, as one operation; or reports that it needs more rows than a level has.
  bool Commit(ModelDocument next, std::uint32_t actedStart, std::uint32_t actedEnd,
              const std::vector<std::int16_t>& appended) {
    if (next.Rows() > kRowCount) return false;
    m_work.insert(m_work.end(), appended.begin(), appended.end());
    Step step{Current, next};
    step.Before.SelStart = actedStart;
    step.Before.SelEnd = actedEnd;
    Undos.push_back(step);
    if (Undos.size() > kLevelCount - 1) Undos.erase(Undos.begin());
    Redos.clear();
    Current = std::move(next);
    return true;
  }

  void Undo() { Move(Undos, Redos, &Step::Before); }
  void Redo() { Move(Redos, Undos, &Step::After); }

  // Buffers first..last pointed at their processed copies, which `processed` receives.
  ModelDocument Processed(std::uint32_t first, std::uint32_t last,
                          const std::vector<double>& frameGains,
                          std::vector<std::int16_t>& processed) const {
    ModelDocument next = Current;
    processed = Samples(first, last);
    for (std::size_t i = 0; i < processed.size(); ++i)
      processed[i] = Scaled(processed[i], frameGains[i / 2]);
    for (std::uint32_t p = first; p <= last; ++p)
      next.Sources[p - 1] = {false, WorkBuffers() + p - first + 1};
    return next;
  }

  // `buffers` new work-file buffers inserted after buffer `after`.
  ModelDocument Inserted(std::uint32_t after, std::uint32_t buffers) const {
    ModelDocument next = Current;
    std::vector<Where> sources;
    for (std::uint32_t k = 1; k <= buffers; ++k) sources.push_back({false, WorkBuffers() + k});
    next.Sources.insert(next.Sources.begin() + after, sources.begin(), sources.end());
    return next;
  }

  std::uint32_t WorkBuffers() const {
    return static_cast<std::uint32_t>(m_work.size() / kSamplesPerBuffer);
  }

  ModelDocument Current;
  std::vector<std::int16_t> Clip;
  std::vector<Step> Undos;
  std::vector<Step> Redos;

private:
  // Undo and Redo: the newest step of `from` goes to `to`, its `side` shown.
  void Move(std::vector<Step>& from, std::vector<Step>& to, ModelDocument Step::*side) {
    if (from.empty()) return;
    to.push_back(from.back());
    Current = from.back().*side;
    from.pop_back();
    Clamp();
  }

  void Clamp() {
    const std::uint32_t last = std::max<std::uint32_t>(Current.Length(), 1);
    Current.SelStart = std::clamp<std::uint32_t>(Current.SelStart, 1, last);
    Current.SelEnd = std::clamp<std::uint32_t>(Current.SelEnd, Current.SelStart, last);
  }

  std::vector<std::int16_t> m_take;
  std::vector<std::int16_t> m_work;
};

class EditSession {
public:
  explicit EditSession(std::uint32_t seed)
      : m_random(seed),
        m_rig("model" + std::to_string(seed), testing::GeneratedTake(60, seed)),
        m_model(testing::GeneratedTake(60, seed)) {}

  // Any operation; or, to reach the row bound, short effects and pastes only.
  void RunSteps(int steps, bool fragment = false) {
    for (int step = 0; step < steps; ++step) {
      const int operation = fragment ? (Pick(0, 4) == 0 ? 32 : 50) : Pick(0, 99);
      SCOPED_TRACE("step " + std::to_string(step) + ", operation " + std::to_string(operation));
      Apply(operation);
      ASSERT_NO_FATAL_FAILURE(Check());
    }
  }

  int Refusals = 0;
  int Dropped = 0;  // operations made at level 50

private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

  // A random selection of 2..maxBuffers buffers (or none) and a cursor, as the mouse sets them.
  void Select(std::uint32_t maxBuffers) {
    const std::uint32_t length = m_model.Current.Length();
    if (length < 2) {
      m_rig.Select(1, 1);
      return;
    }
    const std::uint32_t buffers = std::min<std::uint32_t>(Pick(2, maxBuffers), length);
    const std::uint32_t first = Pick(1, length - buffers + 1);
    m_rig.Select(first, first + buffers - 1);
    m_model.Current.SelStart = first;
    m_model.Current.SelEnd = first + buffers - 1;
    m_rig.Document.CursorPos = Pick(1, length + 2);
  }

  void Apply(int operation) {
    ModelDocument& doc = m_model.Current;
    const std::size_t messages = m_rig.Messages.size();
    bool expectRefused = false;
    if (operation < 10) {
      EXPECT_EQ(Undo(m_rig.Context),
                m_model.Undos.empty() ? EditResult::Unchanged : EditResult::Done);
      m_model.Undo();
    } else if (operation < 18) {
      EXPECT_EQ(Redo(m_rig.Context),
                m_model.Redos.empty() ? EditResult::Unchanged : EditResult::Done);
      m_model.Redo();
    } else if (operation < 32) {
      Select(doc.Length() > 150 ? 40 : 8);
      const bool selected = doc.SelStart < doc.SelEnd;
      if (selected) m_model.Clip = m_model.Samples(doc.SelStart, doc.SelEnd);
      const bool cut = operation >= 25;
      const EditResult result = cut ? Cut(m_rig.Context) : Copy(m_rig.Context);
      if (cut && selected) {
        ModelDocument next = doc;
        next.Sources.erase(next.Sources.begin() + doc.SelStart - 1,
                           next.Sources.begin() + doc.SelEnd);
        next.SelStart = next.SelEnd = 1;
        expectRefused = !m_model.Commit(next, doc.SelStart, doc.SelEnd, {});
      }
      EXPECT_EQ(result, Expected(selected, expectRefused));
    } else if (operation < 50) {
      Select(doc.Length() > 200 ? 2 : 6);
      const bool silence = operation >= 44;
      std::vector<std::int16_t> audio = m_model.Clip;
      if (silence) {
        m_rig.Document.SilenceLength = Pick(0, 4);
        audio.assign(m_rig.Document.SilenceLength * kSamplesPerBuffer, 0);
      }
      const std::uint32_t after = std::min(m_rig.Document.CursorPos, doc.Length());
      ModelDocument next =
          m_model.Inserted(after, static_cast<std::uint32_t>(audio.size() / kSamplesPerBuffer));
      next.SelStart = after + 1;
      next.SelEnd = after + 1 + static_cast<std::uint32_t>(audio.size() / kSamplesPerBuffer);
      const std::uint32_t at = std::max<std::uint32_t>(after, 1);
      expectRefused = !m_model.Commit(next, at, at, audio);
      EXPECT_EQ(Insert(m_rig.Context, silence ? "silence" : "PASTE"),
                Expected(true, expectRefused));
    } else {
      Select(operation < 90 ? 3 : 20);
      const std::uint32_t first = doc.SelStart;
      const std::uint32_t last = doc.SelEnd;
      const std::size_t frames = std::size_t{last - first + 1} * capture::kFramesPerBuffer;
      std::vector<double> gains(frames);
      EditResult result;
      if (operation < 62) {
        const double factors[] = {2.0, -1.0, 0.37, 3.01, -2.5, 1.5};
        const double factor = factors[Pick(0, 5)];
        std::fill(gains.begin(), gains.end(), factor);
        result = Amplify(m_rig.Context, factor);
      } else if (operation < 74) {
        const bool in = operation < 68;
        const double step = 1.0 / static_cast<double>(frames);
        double gain = in ? 0.0 : 1.0;
        for (double& frameGain : gains) frameGain = gain += in ? step : -step;
        result = in ? FadeIn(m_rig.Context) : FadeOut(m_rig.Context);
      } else {
        std::int32_t peak = 0;
        for (const std::int16_t sample : m_model.Samples(first, last))
          peak = std::max(peak, std::abs(static_cast<std::int32_t>(sample)));
        peak = std::clamp(peak, 1, 32767);
        std::fill(gains.begin(), gains.end(), static_cast<double>(32767.0f / peak));
        result = Normalize(m_rig.Context);
      }
      if (first < last) {
        std::vector<std::int16_t> processed;
        ModelDocument next = m_model.Processed(first, last, gains, processed);
        expectRefused = !m_model.Commit(next, first, last, processed);
      }
      EXPECT_EQ(result, Expected(first < last, expectRefused));
    }
    Refusals += expectRefused ? 1 : 0;
    EXPECT_EQ(m_rig.Messages.size(), messages + (expectRefused ? 1 : 0));
  }

  void Check() {
    const ModelDocument& doc = m_model.Current;
    ASSERT_EQ(m_rig.Document.Length(), doc.Length());
    ASSERT_EQ(m_rig.Document.SegmentCount[m_rig.Document.CurrentLevel], doc.Rows());
    const std::vector<std::int16_t> samples = m_rig.ReadAll();
    ASSERT_EQ(m_rig.ReadError, 0);
    ASSERT_EQ(samples.size(), doc.Length() * kSamplesPerBuffer);
    for (std::uint32_t p = 1; p <= doc.Length(); ++p) {
      ASSERT_TRUE(std::equal(m_model.Buffer(p), m_model.Buffer(p) + kSamplesPerBuffer,
                             samples.begin() + (p - 1) * kSamplesPerBuffer))
          << "buffer " << p << " differs from the model";
      const BufferPeaks want = testing::ReferencePeaks(m_model.Buffer(p));
      const BufferPeaks got = PeaksAt(m_rig.Document, m_rig.State.Take, p);
      ASSERT_EQ(std::tie(got.MaxLeft, got.MinLeft, got.MaxRight, got.MinRight),
                std::tie(want.MaxLeft, want.MinLeft, want.MaxRight, want.MinRight))
          << "peaks of buffer " << p;
    }
    EXPECT_EQ(m_rig.Document.SelStart, doc.SelStart);
    EXPECT_EQ(m_rig.Document.SelEnd, doc.SelEnd);
    EXPECT_EQ(m_rig.Document.CurrentLevel, m_model.Undos.size());
    EXPECT_FALSE(m_rig.Document.EditBusy);
    if (m_model.Undos.size() == kLevelCount - 1) ++Dropped;
  }

  std::mt19937 m_random;
  testing::EditorRig m_rig;
  Model m_model;
};

TEST(EditModel, RandomSessionsMatchAFlatModelBitForBit) {
  int refusals = 0;
  int atTopLevel = 0;
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    EditSession session(seed);
    ASSERT_NO_FATAL_FAILURE(session.RunSteps(250));
    ASSERT_NO_FATAL_FAILURE(session.RunSteps(150, true));
    refusals += session.Refusals;
    atTopLevel += session.Dropped;
  }
  EXPECT_GT(refusals, 0) << "no session reached the 100-row bound";
  EXPECT_GT(atTopLevel, 0) << "no session reached the 50-level bound";
}

}  // namespace
}  // namespace tavrin::editor
