'use strict';
// Static files of the web app: web/ at "/", with the package's js/ and css/
// folders behind it for "/js/..." and "/css/...". Nothing outside those
// folders is ever served.
const fs = require('fs');
const path = require('path');
const { responderErro } = require('./http');

const TIPOS = {
  '.html': 'text/html; charset=utf-8',
  '.htm': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.map': 'application/json; charset=utf-8',
  '.webmanifest': 'application/manifest+json',
  '.txt': 'text/plain; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.jpeg': 'image/jpeg',
  '.gif': 'image/gif',
  '.webp': 'image/webp',
  '.ico': 'image/x-icon',
  '.woff': 'font/woff',
  '.woff2': 'font/woff2',
  '.ttf': 'font/ttf',
  '.otf': 'font/otf',
  '.wasm': 'application/wasm',
  '.pdf': 'application/pdf',
  '.crt': 'application/x-x509-ca-cert',
};

function tipoDe(arquivo) {
  return TIPOS[path.extname(arquivo).toLowerCase()] || 'application/octet-stream';
}

function dentro(raiz, alvo) {
  const rel = path.relative(raiz, alvo);
  return rel === '' || (!rel.startsWith('..') && !path.isAbsolute(rel));
}

// The file under `raiz` for the URL path `relativo`, or null.
function resolver(raiz, relativo) {
  const alvo = path.resolve(raiz, '.' + path.posix.normalize('/' + relativo));
  if (!dentro(raiz, alvo)) return null;
  let real;
  let raizReal;
  try {
    real = fs.realpathSync(alvo);
    raizReal = fs.realpathSync(raiz);
  } catch (e) {
    return null;
  }
  if (!dentro(raizReal, real)) return null; // a link pointing outside
  let info = fs.statSync(real);
  if (info.isDirectory()) {
    real = path.join(real, 'index.html');
    try { info = fs.statSync(real); } catch (e) { return null; }
  }
  return info.isFile() ? { arquivo: real, tamanho: info.size } : null;
}

function criarEstatico(pastaPacote) {
  const web = path.join(pastaPacote, 'web');
  const extras = { '/js/': path.join(pastaPacote, 'js'), '/css/': path.join(pastaPacote, 'css') };

  return function servir(req, res, url) {
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      responderErro(res, 405, 'método não permitido');
      return;
    }
    let caminho;
    try {
      caminho = decodeURIComponent(url.pathname);
    } catch (e) {
      responderErro(res, 400, 'endereço malformado');
      return;
    }
    if (caminho.includes('\0') || caminho.includes('\\')) {
      responderErro(res, 400, 'endereço malformado');
      return;
    }
    let achado = resolver(web, caminho);
    if (!achado) {
      for (const [prefixo, pasta] of Object.entries(extras)) {
        if (caminho.startsWith(prefixo)) achado = resolver(pasta, caminho.slice(prefixo.length));
      }
    }
    if (!achado) {
      responderErro(res, 404, 'não encontrado');
      return;
    }
    res.writeHead(200, {
      'Content-Type': tipoDe(achado.arquivo),
      'Content-Length': achado.tamanho,
      'Cache-Control': 'no-cache',
    });
    if (req.method === 'HEAD') {
      res.end();
      return;
    }
    const fluxo = fs.createReadStream(achado.arquivo);
    fluxo.on('error', () => res.destroy());
    fluxo.pipe(res);
  };
}

module.exports = { criarEstatico, tipoDe };
