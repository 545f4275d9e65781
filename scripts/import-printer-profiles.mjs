#!/usr/bin/env node
// SPDX-License-Identifier: MIT
// Builds printer/PrinterProfileTable.cpp from the printer definitions of the
// pinned @point-of-sale/receipt-printer-encoder package (MIT licence, see
// NOTICE) and the figures printer/profiles/documented.tsv adds from the
// printers' own documentation.
//
// Usage: scripts/import-printer-profiles.mjs [--check] [PACKAGE_DIR]
//   PACKAGE_DIR  the installed package (scripts/install-test-clients.sh puts it
//                under build/npm/node_modules/@point-of-sale/receipt-printer-encoder)
//   --check      write nothing: exit 1 when the committed table differs from
//                what the package and the documented figures make
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import {fileURLToPath} from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const packageName = '@point-of-sale/receipt-printer-encoder';
const pinned = '4.0.1';
const args = process.argv.slice(2);
const check = args.includes('--check');
const packageDir = args.find((a) => a !== '--check') ||
    path.join(root, 'build/npm/node_modules', packageName);
const tablePath = path.join(root, 'printer/PrinterProfileTable.cpp');
const documentedPath = path.join(root, 'printer/profiles/documented.tsv');

function fail(message) {
  process.stderr.write(`import-printer-profiles: ${message}\n`);
  process.exit(2);
}

// The package keeps its definitions as one object literal in its bundle; it
// exports only their names, so the literal is read out of the bundle and
// evaluated on its own, without running the package.
function readDefinitions() {
  const manifest = JSON.parse(fs.readFileSync(path.join(packageDir, 'package.json'), 'utf8'));
  if (manifest.name !== packageName || manifest.version !== pinned) {
    fail(`${packageDir} holds ${manifest.name} ${manifest.version}, not ${packageName} ${pinned}`);
  }
  const bundle = fs.readFileSync(path.join(packageDir, manifest.main), 'utf8');
  const marker = 'const printerDefinitions = {';
  const start = bundle.indexOf(marker);
  if (start < 0) {
    fail(`${manifest.main} holds no printer definitions`);
  }
  let depth = 0;
  let end = -1;
  for (let i = start + marker.length - 1; i < bundle.length; ++i) {
    if (bundle[i] === '{') {
      ++depth;
    } else if (bundle[i] === '}' && --depth === 0) {
      end = i + 1;
      break;
    }
  }
  if (end < 0) {
    fail(`the printer definitions in ${manifest.main} never end`);
  }
  const literal = bundle.slice(start + marker.length - 1, end);
  return vm.runInNewContext(`(${literal})`, Object.create(null), {timeout: 1000});
}

function readDocumented() {
  const figures = new Map();
  const lines = fs.readFileSync(documentedPath, 'utf8').split('\n');
  lines.forEach((line, index) => {
    if (line === '' || line.startsWith('#')) {
      return;
    }
    const fields = line.split('\t');
    if (fields.length !== 4 || fields.some((f) => f === '')) {
      fail(`${documentedPath}:${index + 1}: four fields, tab-separated, all given`);
    }
    const [id, field, value, source] = fields;
    if (!figures.has(id)) {
      figures.set(id, []);
    }
    figures.get(id).push({field, value, source, line: index + 1});
  });
  return figures;
}

const dataSource = `${packageName} ${pinned}`;

function profileOf(id, definition, documented) {
  const caps = definition.capabilities || {};
  const media = definition.media || {};
  const language = caps.language || 'esc-pos';
  const profile = {
    id,
    maker: definition.vendor || '',
    model: definition.model || '',
    aliases: [],
    dpi: media.dpi || 0,
    language,
    commands: language === 'star-line' ? 'StarLine' : language === 'star-prnt' ? 'StarPrnt' : 'Unknown',
    commandsSource: language === 'esc-pos' ? '' : `${dataSource}: language ${language}`,
    papers: [],
    nvGraphicsBytes: null,
    nvBitImageBytes: null,
    nvWritesPerDay: null,
    codePages: caps.codepages || '',
    cutter: Boolean(caps.cutter),
  };
  // The data set gives the roll's width and font A's columns; the line holds
  // that many characters of font A, rounded down to whole bytes of dots.
  const fontA = caps.fonts && caps.fonts.A;
  if (media.width && fontA) {
    const charWidth = Number(String(fontA.size).split('x')[0]);
    const dots = Math.floor((fontA.columns * charWidth) / 8) * 8;
    if (dots > 0) {
      profile.papers.push({
        millimetres: media.width,
        dots,
        source: `${dataSource}: ${fontA.columns} columns of ${charWidth}-dot font A`,
      });
    }
  }
  for (const figure of documented.get(id) || []) {
    const where = `${documentedPath}:${figure.line}`;
    switch (figure.field) {
      case 'commands': {
        const named = {'nv-graphics': 'NvGraphics', 'nv-bit-images': 'NvBitImages'}[figure.value];
        if (!named) {
          fail(`${where}: commands are nv-graphics or nv-bit-images`);
        }
        profile.commands = named;
        profile.commandsSource = figure.source;
        break;
      }
      case 'paper': {
        const match = /^(\d+)=(\d+)$/.exec(figure.value);
        if (!match) {
          fail(`${where}: a paper is MILLIMETRES=DOTS`);
        }
        const paper = {millimetres: Number(match[1]), dots: Number(match[2]), source: figure.source};
        const same = profile.papers.findIndex((p) => p.millimetres === paper.millimetres);
        if (same >= 0) {
          profile.papers[same] = paper;
        } else {
          profile.papers.push(paper);
        }
        break;
      }
      case 'nv-graphics-bytes':
      case 'nv-bit-image-bytes':
      case 'nv-writes-per-day': {
        if (!/^\d+$/.test(figure.value)) {
          fail(`${where}: ${figure.field} is a number`);
        }
        const key = {'nv-graphics-bytes': 'nvGraphicsBytes', 'nv-bit-image-bytes': 'nvBitImageBytes',
          'nv-writes-per-day': 'nvWritesPerDay'}[figure.field];
        profile[key] = {value: Number(figure.value), source: figure.source};
        break;
      }
      case 'alias':
        profile.aliases.push(figure.value);
        break;
      default:
        fail(`${where}: no field "${figure.field}"`);
    }
  }
  if (profile.papers.length > 3) {
    fail(`${id}: more than three papers`);
  }
  return profile;
}

function cString(text) {
  return JSON.stringify(String(text)).replace(/[\u007f-\uffff]/g,
      (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
}

function figure(f) {
  return f ? `{${f.value}u, ${cString(f.source)}}` : '{}';
}

function render(profiles) {
  const out = [];
  out.push('// SPDX-License-Identifier: MIT');
  out.push(`// Made by scripts/import-printer-profiles.mjs from the printer definitions of`);
  out.push(`// ${dataSource} (MIT licence, see NOTICE) and`);
  out.push('// printer/profiles/documented.tsv. Run the script rather than editing this file.');
  out.push('#include "PrinterProfileTable.h"');
  out.push('');
  out.push('namespace tessaline {');
  out.push('');
  out.push('// clang-format off');
  out.push('const PrinterProfile kPrinterProfileTable[] = {');
  for (const p of profiles) {
    const papers = p.papers.map((x) => `{${x.millimetres}, ${x.dots}, ${cString(x.source)}}`);
    out.push('    {');
    out.push(`        .id = ${cString(p.id)}, .maker = ${cString(p.maker)}, .model = ${cString(p.model)},`);
    out.push(`        .aliases = ${cString(p.aliases.join('|'))}, .dpi = ${p.dpi}, .language = ${cString(p.language)},`);
    out.push(`        .commands = ProfileCommands::${p.commands}, .commandsSource = ${cString(p.commandsSource)},`);
    out.push(`        .papers = {${papers.join(', ')}}, .paperCount = ${p.papers.length},`);
    out.push(`        .nvGraphicsBytes = ${figure(p.nvGraphicsBytes)},`);
    out.push(`        .nvBitImageBytes = ${figure(p.nvBitImageBytes)},`);
    out.push(`        .nvWritesPerDay = ${figure(p.nvWritesPerDay)},`);
    out.push(`        .codePages = ${cString(p.codePages)}, .cutter = ${p.cutter}, .source = ${cString(dataSource)},`);
    out.push('    },');
  }
  out.push('};');
  out.push('// clang-format on');
  out.push('');
  out.push('const size_t kPrinterProfileCount = sizeof kPrinterProfileTable / sizeof kPrinterProfileTable[0];');
  out.push('');
  out.push('} // namespace tessaline');
  return out.join('\n') + '\n';
}

const definitions = readDefinitions();
const documented = readDocumented();
for (const id of documented.keys()) {
  if (!(id in definitions)) {
    fail(`${documentedPath} names ${id}, which the data set has no definition of`);
  }
}
const ids = Object.keys(definitions).sort();
const table = render(ids.map((id) => profileOf(id, definitions[id], documented)));
if (check) {
  const committed = fs.existsSync(tablePath) ? fs.readFileSync(tablePath, 'utf8') : '';
  if (committed !== table) {
    process.stderr.write(`import-printer-profiles: ${tablePath} is not what ${dataSource} and ` +
        `${documentedPath} make; run scripts/import-printer-profiles.mjs\n`);
    process.exit(1);
  }
  process.stdout.write(`${ids.length} profiles, as committed\n`);
} else {
  fs.writeFileSync(tablePath, table);
  process.stdout.write(`${ids.length} profiles written to ${tablePath}\n`);
}
