#pragma once
// Puts the chart into the main window: its drawing surface, chart(mode) behind the Shell's
// redraws, the display-mode commands of the menus, the right-click menu and the toolbar.
namespace velor {

class MainWindow;
class Chart;

/// Connects the handlers "chart", "CROSS" (the crosshair on/off), "startup:modes", "tool:chart", "tool:kindx", "tool:correl",
/// "tool:showd", "F051A", "F061", "PL100", "PU_HST", "PL105", "F065". The chart's hooks call
/// the handlers "List1:sync" (list lookup of modes 1 and 10) and "ReadMinuteBars"(n) when
/// another subsystem has connected them. The chart lives as long as the window.
Chart &wireChart(MainWindow &w);

} // namespace velor
