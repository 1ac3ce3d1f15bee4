'use strict';
// Local server of the set: the web app, the admin API and "/netinfo" over
// plain HTTP (port 1440 by default, every interface). No dependencies.
//
//   node server.js [--porta N] [--host H] [--atraso-inicio MS]
//                  [--ignorar-sigterm] [--travado] [--dados PASTA]
//
// Environment: PORTA, ATRASO_INICIO. See servicos/README.md.
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const { ErroHttp, responderJson, responderErro, lerCorpo } = require('./lib/http');
const { Dados } = require('./lib/dados');
const { criarApi } = require('./lib/api');
const { criarControle } = require('./lib/controle');
const { criarEstatico } = require('./lib/estatico');

const VERSAO = 2;
const MAX_REQUISICOES_GUARDADAS = 500;
const MAX_DIARIO = 5 * 1024 * 1024;

function falhar(mensagem, codigo = 2) {
  process.stderr.write(`${mensagem}\n`);
  process.exit(codigo);
}

function inteiro(texto, nome, min, max) {
  if (!/^\d+$/.test(String(texto))) falhar(`valor inválido para ${nome}: ${texto}`);
  const n = Number(texto);
  if (n < min || n > max) falhar(`valor fora do intervalo para ${nome}: ${texto}`);
  return n;
}

function lerOpcoes(argv, env) {
  const o = {
    porta: 1440,
    host: undefined,
    atrasoInicio: 0,
    ignorarSigterm: false,
    travado: false,
    dados: path.join(__dirname, 'data'),
  };
  if (env.PORTA) o.porta = inteiro(env.PORTA, 'PORTA', 0, 65535);
  if (env.ATRASO_INICIO) o.atrasoInicio = inteiro(env.ATRASO_INICIO, 'ATRASO_INICIO', 0, 600000);
  for (let i = 0; i < argv.length; i++) {
    let arg = argv[i];
    let valor;
    const igual = arg.indexOf('=');
    if (arg.startsWith('--') && igual > 0) {
      valor = arg.slice(igual + 1);
      arg = arg.slice(0, igual);
    }
    const proximo = () => {
      if (valor !== undefined) return valor;
      if (i + 1 >= argv.length) falhar(`falta o valor de ${arg}`);
      return argv[++i];
    };
    switch (arg) {
      case '--porta': o.porta = inteiro(proximo(), '--porta', 0, 65535); break;
      case '--host': o.host = proximo(); break;
      case '--atraso-inicio': o.atrasoInicio = inteiro(proximo(), '--atraso-inicio', 0, 600000); break;
      case '--ignorar-sigterm': o.ignorarSigterm = true; break;
      case '--travado': o.travado = true; break;
      case '--dados': o.dados = path.resolve(proximo()); break;
      default: process.stderr.write(`opção desconhecida ignorada: ${arg}\n`);
    }
  }
  return o;
}

// BUILD: first line the build, optional second line the exact build.
function lerBuild() {
  try {
    const linhas = fs.readFileSync(path.join(__dirname, 'BUILD'), 'utf8')
      .split(/\r?\n/).map((l) => l.trim()).filter(Boolean);
    if (linhas.length) return { build: linhas[0], buildReal: linhas[1] };
  } catch (e) { /* no BUILD file */ }
  return { build: 'dev', buildReal: undefined };
}

function ipLocal() {
  for (const lista of Object.values(os.networkInterfaces())) {
    for (const a of lista || []) if (a.family === 'IPv4' && !a.internal) return a.address;
  }
  return '127.0.0.1';
}

const opcoes = lerOpcoes(process.argv.slice(2), process.env);
const dados = new Dados(opcoes.dados);
try {
  dados.preparar();
} catch (e) {
  falhar(`não consegui preparar a pasta de dados ${opcoes.dados}: ${e.message}`, 1);
}

const diario = dados.caminho('quilvo.log');
try {
  if (fs.statSync(diario).size > MAX_DIARIO) fs.renameSync(diario, `${diario}.1`);
} catch (e) { /* no diary yet */ }

function registrar(linha) {
  process.stdout.write(`${linha}\n`);
  try {
    fs.appendFileSync(diario, `${new Date().toISOString()} ${linha}\n`);
  } catch (e) { /* the diary is best effort */ }
}

const hostname = os.hostname().replace(/\.local$/, '');
const padraoBuild = lerBuild();
const estado = {
  build: padraoBuild.build,
  buildReal: padraoBuild.buildReal,
  versao: VERSAO,
  euSou: `quilvo-${hostname.toLowerCase().replace(/[^a-z0-9-]+/g, '-')}`,
  sobrescritas: {},
  quilvos: null,
  sessoes: [],
  travado: opcoes.travado,
  pendentes: [],
  atrasos: {},
  respostas: {},
  requisicoes: [],
};
const padraoEstado = { ...estado };

let servidor;
const contexto = {
  dados,
  estado,
  registrar,
  porta: () => (servidor && servidor.address() ? servidor.address().port : opcoes.porta),
  quilvosPadrao: () => [{
    nodeId: estado.euSou,
    url: `http://${ipLocal()}:${contexto.porta()}`,
    rotulo: hostname,
    preferido: true,
    fixado: false,
    temCertificado: false,
    certUrl: '',
  }],
  travar(ativo) {
    estado.travado = ativo;
    registrar(ativo ? '— travado: aceito conexões e não respondo —' : '— destravado —');
    if (!ativo) {
      const pendentes = estado.pendentes.splice(0);
      for (const p of pendentes) despachar(p.req, p.res, p.url, p.bruto);
    }
  },
  restaurar() {
    const pendentes = estado.pendentes;
    Object.assign(estado, padraoEstado, {
      sobrescritas: {}, sessoes: [], pendentes: [], atrasos: {}, respostas: {},
      requisicoes: estado.requisicoes, travado: false,
    });
    for (const p of pendentes) despachar(p.req, p.res, p.url, p.bruto);
  },
};

const api = criarApi(contexto);
const controle = criarControle(contexto);
const estatico = criarEstatico(__dirname);

function executar(res, fn) {
  try {
    fn();
  } catch (e) {
    if (res.headersSent) {
      res.destroy();
    } else if (e instanceof ErroHttp) {
      responderErro(res, e.status, e.message);
    } else {
      registrar(`erro interno: ${e && e.stack ? e.stack : e}`);
      responderErro(res, 500, 'erro interno do servidor');
    }
  }
}

function netinfo(res) {
  const corpo = {
    ok: true, nome: hostname, build: estado.build, porta: contexto.porta(), euSou: estado.euSou, versao: VERSAO,
  };
  if (estado.buildReal) corpo.buildReal = estado.buildReal;
  responderJson(res, 200, corpo);
}

function respostaPronta(res, r) {
  if (r.vezes !== Infinity && --r.vezes <= 0) {
    for (const [k, v] of Object.entries(estado.respostas)) if (v === r) delete estado.respostas[k];
  }
  let corpo = '';
  let tipo = r.tipo;
  if (typeof r.corpo === 'string') {
    corpo = r.corpo;
    tipo = tipo || 'text/plain; charset=utf-8';
  } else if (r.corpo !== null) {
    corpo = JSON.stringify(r.corpo);
    tipo = tipo || 'application/json; charset=utf-8';
  }
  const cabecalhos = { 'Content-Length': Buffer.byteLength(corpo), 'Cache-Control': 'no-store' };
  if (tipo) cabecalhos['Content-Type'] = tipo;
  res.writeHead(r.status, cabecalhos);
  res.end(corpo);
}

function despachar(req, res, url, bruto) {
  if (res.destroyed || res.writableEnded) return;
  executar(res, () => {
    const pronta = estado.respostas[url.pathname];
    if (pronta) return respostaPronta(res, pronta);
    if (url.pathname === '/netinfo' || url.pathname === '/netinfo/') {
      if (req.method !== 'GET' && req.method !== 'HEAD') throw new ErroHttp(405, 'método não permitido');
      return netinfo(res);
    }
    if (url.pathname.startsWith('/api/')) return api.atender(req, res, url, bruto);
    return estatico(req, res, url);
  });
}

function anotar(req, url, bruto) {
  let corpo = null;
  if (bruto && bruto.length) {
    const texto = bruto.toString('utf8');
    try { corpo = JSON.parse(texto); } catch (e) { corpo = texto; }
  }
  estado.requisicoes.push({
    em: new Date().toISOString(),
    metodo: req.method,
    caminho: url.pathname,
    query: Object.fromEntries(url.searchParams),
    token: url.searchParams.get('token'),
    tipo: req.headers['content-type'] || null,
    corpo,
  });
  if (estado.requisicoes.length > MAX_REQUISICOES_GUARDADAS) estado.requisicoes.shift();
}

async function aoPedido(req, res) {
  const inicio = Date.now();
  let url;
  try {
    url = new URL(req.url, 'http://localhost');
  } catch (e) {
    responderErro(res, 400, 'endereço malformado');
    return;
  }
  // The token stays out of the log: only the path is written.
  res.on('finish', () => registrar(`${req.method} ${url.pathname} ${res.statusCode} ${Date.now() - inicio}ms`));
  let bruto;
  try {
    bruto = await lerCorpo(req);
  } catch (e) {
    if (e instanceof ErroHttp) responderErro(res, e.status, e.message);
    else res.destroy();
    return;
  }
  if (url.pathname.startsWith('/__controle/')) {
    executar(res, () => controle(req, res, url, bruto));
    return;
  }
  anotar(req, url, bruto);
  if (estado.travado) {
    const pendente = { req, res, url, bruto };
    estado.pendentes.push(pendente);
    res.on('close', () => {
      const i = estado.pendentes.indexOf(pendente);
      if (i >= 0) estado.pendentes.splice(i, 1);
    });
    return;
  }
  const atraso = estado.atrasos[url.pathname] ?? estado.atrasos['*'];
  if (atraso) setTimeout(() => despachar(req, res, url, bruto), atraso);
  else despachar(req, res, url, bruto);
}

const conexoes = new Set();
let encerrando = false;

function encerrar(sinal) {
  if (sinal === 'SIGTERM' && opcoes.ignorarSigterm) {
    registrar('— SIGTERM ignorado (--ignorar-sigterm) —');
    return;
  }
  if (encerrando) return;
  encerrando = true;
  registrar(`— encerrando (${sinal}) —`);
  if (!servidor || !servidor.listening) process.exit(0);
  servidor.close(() => process.exit(0));
  for (const c of conexoes) c.destroy();
  setTimeout(() => process.exit(0), 2000).unref();
}

process.on('SIGTERM', () => encerrar('SIGTERM'));
process.on('SIGINT', () => encerrar('SIGINT'));
process.on('SIGUSR2', () => contexto.travar(!estado.travado));

function ouvir() {
  if (encerrando) return;
  servidor = http.createServer((req, res) => {
    aoPedido(req, res).catch((e) => {
      registrar(`erro interno: ${e && e.stack ? e.stack : e}`);
      if (!res.headersSent) responderErro(res, 500, 'erro interno do servidor');
    });
  });
  servidor.keepAliveTimeout = 5000;
  servidor.on('connection', (c) => {
    conexoes.add(c);
    c.on('close', () => conexoes.delete(c));
  });
  servidor.on('error', (e) => {
    if (e.code === 'EADDRINUSE') falhar(`a porta ${opcoes.porta} já está em uso`, 1);
    falhar(`não consegui ouvir na porta ${opcoes.porta}: ${e.message}`, 1);
  });
  servidor.listen(opcoes.porta, opcoes.host, () => {
    const porta = servidor.address().port;
    registrar(`ouvindo na porta ${porta}`);
    registrar(`build ${estado.build}${estado.buildReal ? ` (${estado.buildReal})` : ''}, dados em ${opcoes.dados}`);
    if (estado.travado) registrar('— travado: aceito conexões e não respondo —');
  });
}

if (opcoes.atrasoInicio > 0) {
  registrar(`esperando ${opcoes.atrasoInicio} ms antes de ouvir`);
  setTimeout(ouvir, opcoes.atrasoInicio);
} else {
  ouvir();
}
