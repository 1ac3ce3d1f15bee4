'use strict';
// Small HTTP helpers shared by the routes.

class ErroHttp extends Error {
  constructor(status, mensagem) {
    super(mensagem);
    this.status = status;
  }
}

// Error bodies carry only text values, so a client that reads `erro` from an
// object of texts always finds the reason.
function responderJson(res, status, corpo) {
  const texto = JSON.stringify(corpo);
  res.writeHead(status, {
    'Content-Type': 'application/json; charset=utf-8',
    'Content-Length': Buffer.byteLength(texto),
    'Cache-Control': 'no-store',
  });
  res.end(res.req && res.req.method === 'HEAD' ? undefined : texto);
}

function responderErro(res, status, mensagem) {
  responderJson(res, status, { erro: String(mensagem) });
}

const LIMITE_CORPO = 1024 * 1024;

// Reads the whole request body (at most 1 MiB) as a Buffer.
function lerCorpo(req) {
  return new Promise((resolve, reject) => {
    const partes = [];
    let tamanho = 0;
    let excedeu = false;
    req.on('data', (parte) => {
      tamanho += parte.length;
      if (tamanho > LIMITE_CORPO) {
        excedeu = true;
        partes.length = 0;
        return;
      }
      if (!excedeu) partes.push(parte);
    });
    req.on('end', () => {
      if (excedeu) reject(new ErroHttp(413, 'corpo grande demais'));
      else resolve(Buffer.concat(partes));
    });
    req.on('error', reject);
  });
}

// The body as a JSON object, or a 400 with a Portuguese reason.
function corpoObjeto(bruto) {
  if (!bruto || bruto.length === 0) throw new ErroHttp(400, 'corpo vazio: esperava um objeto JSON');
  let valor;
  try {
    valor = JSON.parse(bruto.toString('utf8'));
  } catch (e) {
    throw new ErroHttp(400, 'corpo inválido: JSON malformado');
  }
  if (valor === null || typeof valor !== 'object' || Array.isArray(valor)) {
    throw new ErroHttp(400, 'corpo inválido: esperava um objeto JSON');
  }
  return valor;
}

function campoTexto(corpo, chave) {
  const v = corpo[chave];
  if (typeof v !== 'string' || v.trim() === '') {
    throw new ErroHttp(400, `campo "${chave}" deve ser um texto não vazio`);
  }
  return v;
}

// A text or JSON null (null and absence both mean "none").
function campoTextoOuNulo(corpo, chave) {
  const v = corpo[chave];
  if (v === null || v === undefined) return null;
  if (typeof v !== 'string' || v.trim() === '') {
    throw new ErroHttp(400, `campo "${chave}" deve ser um texto ou null`);
  }
  return v;
}

function campoBooleano(corpo, chave) {
  const v = corpo[chave];
  if (typeof v !== 'boolean') throw new ErroHttp(400, `campo "${chave}" deve ser true ou false`);
  return v;
}

module.exports = {
  ErroHttp, responderJson, responderErro, lerCorpo, corpoObjeto,
  campoTexto, campoTextoOuNulo, campoBooleano,
};
