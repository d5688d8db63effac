#!/usr/bin/env node
// validate.js FILE... — runs the Khronos glTF validator on each .gltf/.glb
// (resources beside it are loaded from its folder), prints every message of
// its report and exits 1 when any file has an error or a warning.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)), (err, data) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  const issues = report.issues;
  for (const m of issues.messages) {
    console.log(`${file}: ${['error', 'warning', 'info', 'hint'][m.severity]}: ${m.code} ${m.pointer || ''} ${m.message}`);
  }
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
              `${issues.numInfos} infos, ${issues.numHints} hints`);
  return issues.numErrors === 0 && issues.numWarnings === 0;
}

(async () => {
  if (process.argv.length < 3) {
    console.error('usage: validate.js FILE...');
    process.exit(2);
  }
  let clean = true;
  for (const file of process.argv.slice(2)) {
    try {
      if (!(await validate(file))) clean = false;
    } catch (e) {
      console.log(`${file}: could not be validated: ${e}`);
      clean = false;
    }
  }
  process.exit(clean ? 0 : 1);
})();
