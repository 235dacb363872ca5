// The editor side of Velvix's editor tab tracking. Velvix installs this folder into the editors'
// extension folders while editor tab tracking is on, and removes it when it is switched off.
'use strict';

function activate(context) {
  // Tab reports travel over Velvix's socket in its support folder; this build carries the
  // extension's frame only.
}

function deactivate() {}

module.exports = { activate, deactivate };
