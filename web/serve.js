#!/usr/bin/env node
// serve.js FILE [PORT]: serves the page of this folder and FILE's folder on
// localhost only, and prints the address that shows FILE (a .glb, or a
// .gltf with the files beside it). PORT 0 or busy: any free port.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const pageDir = path.dirname(fileURLToPath(import.meta.url));

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.json': 'application/json',
  '.glb': 'model/gltf-binary',
  '.gltf': 'model/gltf+json',
  '.bin': 'application/octet-stream',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.jpeg': 'image/jpeg',
  '.ktx2': 'image/ktx2',
  '.webp': 'image/webp',
};

// The file a request names: under /scene/ in the scene's folder, otherwise
// in the page's; null for anything outside them.
function fileFor(url, sceneDir) {
  let pathname;
  try {
    pathname = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  } catch {
    return null;
  }
  const [root, rest] = pathname.startsWith('/scene/')
    ? [sceneDir, pathname.slice('/scene/'.length)] : [pageDir, pathname.slice(1) || 'index.html'];
  const file = path.resolve(root, rest);
  return file.startsWith(root + path.sep) ? file : null;
}

// Starts the server; resolves to it and the address of the page showing
// `sceneFile`.
export function startServer(sceneFile, port = 0) {
  const sceneDir = path.dirname(path.resolve(sceneFile));
  const server = http.createServer((request, response) => {
    const file = fileFor(request.url, sceneDir);
    fs.readFile(file || '', (error, data) => {
      if (!file || error) {
        response.writeHead(404, { 'Content-Type': 'text/plain' });
        response.end('not found\n');
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    const listen = (p) => server.listen(p, '127.0.0.1');
    server.on('error', (error) => {
      if (error.code === 'EADDRINUSE' && port !== 0) {
        port = 0;
        listen(0);
      } else {
        reject(error);
      }
    });
    server.on('listening', () => {
      const base = `http://localhost:${server.address().port}/`;
      resolve({ server, base, url: `${base}?model=scene/${encodeURIComponent(path.basename(sceneFile))}` });
    });
    listen(port);
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const [sceneFile, port] = process.argv.slice(2);
  if (!sceneFile || !fs.existsSync(sceneFile)) {
    console.error(`serve.js: ${sceneFile ? `cannot read ${sceneFile}` : 'usage: serve.js FILE.glb|FILE.gltf [PORT]'}`);
    process.exit(1);
  }
  const { url } = await startServer(sceneFile, port === undefined ? 8765 : Number(port));
  console.log(`Showing ${sceneFile} at\n\n    ${url}\n\n(&mode=lambert for the Lambertian view; Ctrl-C stops the server)`);
}
