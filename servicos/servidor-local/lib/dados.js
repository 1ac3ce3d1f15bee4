'use strict';
// The server's data folder. Every file is read from disk on each use (the
// supervisor may seed people and tokens while we run) and replaced by
// writing a temporary file next to it and renaming it over the target.
const fs = require('fs');
const path = require('path');
const crypto = require('crypto');
const { ErroHttp } = require('./http');

let contadorTemp = 0;

class Dados {
  constructor(pasta) {
    this.pasta = pasta;
  }

  caminho(nome) {
    return path.join(this.pasta, nome);
  }

  preparar() {
    fs.mkdirSync(this.pasta, { recursive: true });
    // pessoas.json is deliberately not created: the supervisor seeds the
    // first person only while that file is missing, and a failed seeding is
    // retried at the next start.
    if (!fs.existsSync(this.caminho('tokens.json'))) this.gravar('tokens.json', {});
  }

  // { valor, corrompido }: a missing file gives `vazio`; a file that does not
  // parse is reported (and never overwritten by a mutation).
  ler(nome, vazio) {
    let texto;
    try {
      texto = fs.readFileSync(this.caminho(nome), 'utf8');
    } catch (e) {
      return { valor: vazio, corrompido: false };
    }
    if (texto.trim() === '') return { valor: vazio, corrompido: false };
    try {
      return { valor: JSON.parse(texto), corrompido: false };
    } catch (e) {
      return { valor: vazio, corrompido: true };
    }
  }

  // Value of a file for a change: a corrupted file stops the change.
  lerParaMudar(nome, vazio) {
    const { valor, corrompido } = this.ler(nome, vazio);
    if (corrompido) throw new ErroHttp(500, `arquivo de dados corrompido: ${nome}`);
    return valor;
  }

  gravar(nome, valor) {
    const alvo = this.caminho(nome);
    const temp = `${alvo}.tmp-${process.pid}-${++contadorTemp}`;
    try {
      fs.writeFileSync(temp, JSON.stringify(valor, null, 2) + '\n');
      fs.renameSync(temp, alvo);
    } catch (e) {
      try { fs.unlinkSync(temp); } catch (_) { /* nothing staged */ }
      throw new ErroHttp(500, `não consegui gravar ${nome}: ${e.message}`);
    }
  }

  // ---- catalogue: producers, núcleos, projects ----

  lista(nome) {
    const { valor } = this.ler(nome, []);
    return Array.isArray(valor) ? valor.filter((x) => x && typeof x.id === 'string') : [];
  }

  produtoras() { return this.lista('produtoras.json'); }
  nucleos() { return this.lista('nucleos.json'); }
  projetos() { return this.lista('projetos.json'); }

  // Applies `mudar` to the list in `nome` and writes it back.
  mudarLista(nome, mudar) {
    const valor = this.lerParaMudar(nome, []);
    if (!Array.isArray(valor)) throw new ErroHttp(500, `arquivo de dados corrompido: ${nome}`);
    const resultado = mudar(valor);
    this.gravar(nome, valor);
    return resultado;
  }

  // ---- people and tokens ----

  pessoas() {
    const { valor } = this.ler('pessoas.json', {});
    return valor && typeof valor === 'object' && !Array.isArray(valor) ? valor : {};
  }

  // tokens.json maps each token to its data. A list of {token, ...} is read
  // as well.
  tokens() {
    const { valor } = this.ler('tokens.json', {});
    if (Array.isArray(valor)) {
      const mapa = {};
      for (const t of valor) if (t && typeof t.token === 'string') mapa[t.token] = t;
      return mapa;
    }
    return valor && typeof valor === 'object' ? valor : {};
  }

  mudarTokens(mudar) {
    let valor = this.lerParaMudar('tokens.json', {});
    if (valor === null || typeof valor !== 'object') valor = {};
    if (Array.isArray(valor)) {
      const mapa = {};
      for (const t of valor) if (t && typeof t.token === 'string') mapa[t.token] = t;
      valor = mapa;
    }
    const resultado = mudar(valor);
    this.gravar('tokens.json', valor);
    return resultado;
  }

  // Resolves a token to what it may reach, or null when it is unknown.
  // { token, dados, pessoa, global, raiz, podeAdministrar, itens, expirado, origem }
  resolverToken(token) {
    if (typeof token !== 'string' || token === '') return null;
    const pessoas = this.pessoas();
    let dados;
    let pessoa = null;
    let origem = 'tokens';
    const tokens = this.tokens();
    if (Object.prototype.hasOwnProperty.call(tokens, token)) {
      dados = tokens[token];
    } else {
      // A person record may carry its own token(s).
      for (const [chave, p] of Object.entries(pessoas)) {
        if (p && typeof p === 'object'
            && (p.token === token || (Array.isArray(p.tokens) && p.tokens.includes(token)))) {
          dados = p;
          pessoa = chave;
          origem = 'pessoas';
          break;
        }
      }
      if (dados === undefined) return null;
    }
    if (dados === null || typeof dados !== 'object' || Array.isArray(dados)) dados = {};
    if (!pessoa) {
      if (typeof dados.pessoa === 'string') pessoa = dados.pessoa;
      else if (typeof dados.chave === 'string') pessoa = dados.chave;
      else {
        const chaves = Object.keys(pessoas);
        // A new set seeded with its first person: that token is hers.
        if (chaves.length === 1 && origem === 'tokens' && !dados.emitidoPor) pessoa = chaves[0];
      }
    }
    const itens = Array.isArray(dados.escopo) ? dados.escopo.filter((i) => i && typeof i === 'object') : null;
    // Data that names no scope at all (the set's first token, as the cloud
    // seeds it) is a global administrator.
    const global = dados.global === true || (dados.global === undefined && itens === null);
    const podeAdministrar = typeof dados.podeAdministrar === 'boolean' ? dados.podeAdministrar : global;
    let expirado = false;
    if (typeof dados.expiraEm === 'string') {
      const t = Date.parse(dados.expiraEm);
      expirado = !Number.isNaN(t) && t <= Date.now();
    }
    return {
      token, dados, pessoa, origem, global, raiz: dados.raiz === true, podeAdministrar,
      itens: itens || [], expirado,
    };
  }

  // ---- per-person theme and local preferences ----

  chaveTema(info) {
    if (info.pessoa) return `pessoa:${info.pessoa}`;
    return `token:${crypto.createHash('sha256').update(info.token).digest('hex').slice(0, 16)}`;
  }

  temaDe(info) {
    const { valor } = this.ler('temas.json', {});
    const t = valor && typeof valor === 'object' ? valor[this.chaveTema(info)] : undefined;
    return typeof t === 'string' ? t : undefined;
  }

  definirTema(info, tema) {
    let valor = this.lerParaMudar('temas.json', {});
    if (!valor || typeof valor !== 'object' || Array.isArray(valor)) valor = {};
    valor[this.chaveTema(info)] = tema;
    this.gravar('temas.json', valor);
  }

  local() {
    const { valor } = this.ler('local.json', {});
    return valor && typeof valor === 'object' && !Array.isArray(valor) ? valor : {};
  }

  mudarLocal(mudar) {
    let valor = this.lerParaMudar('local.json', {});
    if (!valor || typeof valor !== 'object' || Array.isArray(valor)) valor = {};
    mudar(valor);
    this.gravar('local.json', valor);
  }
}

// What a token reaches, as the EscopoDisponivel record.
function escopoDisponivel(info, dados) {
  const produtoras = dados.produtoras();
  const nucleos = dados.nucleos();
  const projetos = dados.projetos();
  let p; let n; let j;
  if (info.global) {
    p = produtoras; n = nucleos; j = projetos;
  } else {
    const P = new Set(); const N = new Set(); const J = new Set();
    for (const i of info.itens) {
      if (i.tipo === 'produtora' && typeof i.produtoraId === 'string') P.add(i.produtoraId);
      else if (i.tipo === 'nucleo' && typeof i.nucleoId === 'string') N.add(i.nucleoId);
      else if (i.tipo === 'projeto' && typeof i.projetoId === 'string') J.add(i.projetoId);
    }
    p = produtoras.filter((x) => P.has(x.id));
    n = nucleos.filter((x) => N.has(x.id));
    j = projetos.filter((x) => J.has(x.id)
      || (typeof x.produtoraId === 'string' && P.has(x.produtoraId))
      || (typeof x.nucleoId === 'string' && N.has(x.nucleoId)));
  }
  const grupo = (x) => ({ id: x.id, nome: String(x.nome ?? x.id), ativo: x.ativo !== false });
  const projeto = (x) => {
    const r = { id: x.id, nome: String(x.nome ?? x.id), arquivado: x.arquivado === true };
    if (typeof x.produtoraId === 'string') r.produtoraId = x.produtoraId;
    if (typeof x.nucleoId === 'string') r.nucleoId = x.nucleoId;
    return r;
  };
  return {
    global: info.global,
    raiz: info.raiz,
    podeAdministrar: info.podeAdministrar,
    produtoras: p.map(grupo),
    nucleos: n.map(grupo),
    projetos: j.map(projeto),
  };
}

module.exports = { Dados, escopoDisponivel };
