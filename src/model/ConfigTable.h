#pragma once
// The configuration table: channel count and types, latency, reading time.
namespace tmv {

struct AppState;

int GetConfigTable(AppState& state);

}  // namespace tmv
