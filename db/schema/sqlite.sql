-- The embedded default database. The schemas zy and xg are files attached beside the main
-- database by every connection; column types are checked because SQLite would otherwise store
-- an order number too long for an integer as an inexact real number.
create table if not exists xg.sys_base_type (
    enum_name  varchar(64) not null,
    code_value varchar(20) not null,
    cname      varchar(64) not null,
    primary key (enum_name, code_value)
);

create table if not exists zy.res_download_path (
    down_id     integer not null check (typeof(down_id) = 'integer'),
    down_type   integer not null check (typeof(down_type) = 'integer'),
    down_path   varchar(300) not null,
    op_id       integer not null check (typeof(op_id) = 'integer'),
    create_date text not null,
    remark      varchar(1000)
);

create index if not exists zy.ix_res_download_path_date on res_download_path (create_date);
create index if not exists zy.ix_res_download_path_id on res_download_path (down_id);
create index if not exists zy.ix_res_download_path_path on res_download_path (down_path);

-- What each remote name holds now (size, SHA-256, who stored it, when, from where) and the claim
-- of the upload in progress under it. A row may hold only a claim: the first upload of a name.
-- In the zy file with res_download_path, so one transaction over both stays atomic in WAL mode.
create table if not exists zy.res_download_file (
    file_name   varchar(300) not null primary key,
    file_size   integer check (file_size is null or typeof(file_size) = 'integer'),
    sha256      char(64),
    stored_op   integer,
    stored_host varchar(255),
    stored_at   text,
    claim_token varchar(64),
    claim_op    integer,
    claim_host  varchar(255),
    claim_since integer,
    claim_seen  integer
);

-- Every side effect of an upload on the store, announced before it happens and cleared in the
-- transaction that settles it: the temporary upload, the name it takes and the name the file
-- there steps aside to. An intent left behind is finished by the next upload of the name or by
-- korvane-dbtool --check --repair from what the store holds. phase: put, publish, collect.
create table if not exists zy.res_download_intent (
    intent_token varchar(64) not null primary key,
    file_name    varchar(300) not null,
    phase        varchar(16) not null,
    temp_name    varchar(300),
    temp_size    integer,
    temp_sha256  char(64),
    aside_name   varchar(300),
    op_id        integer,
    host         varchar(255),
    created      integer not null
);

-- Every content a name has held and where it is kept: the current one under the name itself,
-- earlier ones under "<name>.~N~". A registration row fetches the version whose since is the
-- latest at or before its create_date.
create table if not exists zy.res_download_version (
    file_name   varchar(300) not null,
    version_no  integer not null,
    store_name  varchar(300) not null,
    file_size   integer,
    sha256      char(64),
    stored_op   integer,
    since       varchar(19) not null,
    primary key (file_name, version_no)
);

-- Who moved what, when: uploads, replacements, downloads and their failures.
create table if not exists zy.res_download_history (
    event_at    varchar(32) not null,
    op_id       integer,
    host        varchar(255),
    down_id     varchar(20),
    file_name   varchar(300) not null,
    version_no  integer,
    bytes       integer,
    event       varchar(16) not null,
    result      varchar(1000)
);
create index if not exists zy.ix_res_download_history_name on res_download_history (file_name);
create index if not exists zy.ix_res_download_history_op on res_download_history (op_id);
