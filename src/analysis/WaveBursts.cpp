// The wave analysis of a DataSet's bursts, and as the decoder's burst hook. The hook object owns the
// results, so that they live with the AppState whose hooks hold it.
#include <algorithm>
#include <memory>

#include "analysis/TideWaveFiles.h"
#include "analysis/WaveAnalysis.h"
#include "shell/AppState.h"

namespace tmv {

namespace {

struct WaveBurstHook {
  AppState* state = nullptr;
  std::shared_ptr<WaveStore> store;
  void operator()(DataSet& data, int b) const {
    if (b == 0) store->latestWaveHeight = 0.0f;
    AnalyseWaveBurst(WaveParametersFor(*state, data), data, b, *store);
  }
};

}  // namespace

void WaveStore::Ensure(int b, int length) {
  if (length != burstLength) {
    burstLength = length;
    results.clear();
    surfaces.clear();
  }
  if (b < 0 || b >= kMaxBursts || length <= 0) return;
  if (Count() <= b) {
    results.resize(static_cast<size_t>(b) + 1);
    surfaces.resize(static_cast<size_t>(b + 1) * static_cast<size_t>(length), 0.0f);
  }
}

WaveParameters WaveParametersFor(const AppState& state, const DataSet& data) {
  WaveParameters p;
  p.sampleRate = state.retrieval.waveSampleRate != 0 ? state.retrieval.waveSampleRate : data.deployment.burstRate;
  p.loggerHeight = data.deployment.loggerHeight;
  p.readingsAreDepth = data.channelCount > 1 && data.channelTypes[1] == 'A';
  const DerivedSettings& s = state.settings.derived;
  p.depthSeawater = s.depthSeawater;
  p.latitude = s.latitudeDegrees + s.latitudeMinutes / 60.0;
  p.atmosphericPressure = s.atmosphericPressure;
  p.waterDensity = s.waterDensity;
  return p;
}

void AnalyseWaveBurst(const WaveParameters& parameters, const DataSet& data, int b, WaveStore& store) {
  if (b < 0 || b >= kMaxBursts || data.burstLength <= 0) return;
  store.Ensure(b, data.burstLength);
  if (b >= store.Count()) return;
  WaveResult& r = store.results[static_cast<size_t>(b)];
  r.startTime = b < static_cast<int>(data.burstStartTimes.size()) ? data.burstStartTimes[static_cast<size_t>(b)]
                                                                  : data.startTime;
  store.analyser.Analyse(data.Burst(b), data.burstLength, parameters, r, store.Surface(b));
  store.latestWaveHeight = r.hThird;
}

int BurstForRow(const DataSet& data, int row) {
  for (int i = data.StampCount() - 1; i >= 0; --i) {
    const StampRecord& s = data.stamps[static_cast<size_t>(i)];
    if (s.type == kStampBurst && s.sampleIndex <= row) return s.burstIndex;
  }
  return -1;
}

double WaveHeightForRow(const DataSet& data, const WaveStore& store, int row, bool realTime) {
  if (realTime) return store.latestWaveHeight;
  const int b = BurstForRow(data, row);
  if (b < 0 || b >= store.Count()) return 0.0;
  return store.results[static_cast<size_t>(b)].hThird;
}

void InstallWaveAnalysis(AppState& state) {
  WaveBurstHook hook{&state, std::make_shared<WaveStore>()};
  if (const WaveBurstHook* old = state.retrieval.hooks.analyseBurst.target<WaveBurstHook>()) hook.store = old->store;
  state.retrieval.hooks.analyseBurst = hook;
  state.retrieval.writeTideAndWaveFiles = [&state](const std::string& datPath) { WriteWaveAndTideFiles(state, datPath); };
  // The significant-wave-height and tidal-slope columns take their values from here.
  std::shared_ptr<WaveStore> store = hook.store;
  state.analysis.waveHeightAt = [&state, store](const DataSet& data, int row) {
    return static_cast<float>(WaveHeightForRow(data, *store, row, state.shell.realTimeActive));
  };
  state.analysis.tidalSlopeAt = [](const DataSet& data, int depthColumn, int row) {
    return static_cast<float>(TidalSlope(data.Column(depthColumn), data.sampleCount, row, data.deployment.samplingPeriod));
  };
}

WaveStore* WaveResults(AppState& state) {
  const WaveBurstHook* hook = state.retrieval.hooks.analyseBurst.target<WaveBurstHook>();
  return hook ? hook->store.get() : nullptr;
}

const WaveStore* WaveResults(const AppState& state) {
  const WaveBurstHook* hook = state.retrieval.hooks.analyseBurst.target<WaveBurstHook>();
  return hook ? hook->store.get() : nullptr;
}

}  // namespace tmv
