-- The production Oracle database; run as a user allowed to create objects in zy and xg.
create table xg.sys_base_type (
    enum_name  varchar2(64) not null,
    code_value varchar2(20) not null,
    cname      varchar2(64) not null,
    constraint pk_sys_base_type primary key (enum_name, code_value)
);

create table zy.res_download_path (
    down_id     number(18) not null,
    down_type   number(10) not null,
    down_path   varchar2(300) not null,
    op_id       number(10) not null,
    create_date date not null,
    remark      varchar2(1000)
);

create index zy.ix_res_download_path_date on zy.res_download_path (create_date);
create index zy.ix_res_download_path_id on zy.res_download_path (down_id);
create index zy.ix_res_download_path_path on zy.res_download_path (down_path);

-- What each remote name holds now (size, SHA-256, who stored it, when, from where) and the claim
-- of the upload in progress under it. A row may hold only a claim: the first upload of a name.
-- korvane-dbtool --upgrade creates it in an existing database.
create table zy.res_download_file (
    file_name   varchar2(300) not null,
    file_size   number(19),
    sha256      char(64),
    stored_op   number(10),
    stored_host varchar2(255),
    stored_at   date,
    claim_token varchar2(64),
    claim_op    number(10),
    claim_host  varchar2(255),
    claim_since number(19),
    claim_seen  number(19),
    constraint pk_res_download_file primary key (file_name)
);

-- Every side effect of an upload on the store, announced before it happens and cleared in the
-- transaction that settles it (see the SQLite script).
create table zy.res_download_intent (
    intent_token varchar2(64) not null,
    file_name    varchar2(300) not null,
    phase        varchar2(16) not null,
    temp_name    varchar2(300),
    temp_size    number(19),
    temp_sha256  char(64),
    aside_name   varchar2(300),
    op_id        number(10),
    host         varchar2(255),
    created      number(19) not null,
    constraint pk_res_download_intent primary key (intent_token)
);

-- Every content a name has held and where it is kept.
create table zy.res_download_version (
    file_name   varchar2(300) not null,
    version_no  number(10) not null,
    store_name  varchar2(300) not null,
    file_size   number(19),
    sha256      char(64),
    stored_op   number(10),
    since       varchar2(19) not null,
    constraint pk_res_download_version primary key (file_name, version_no)
);

-- Who moved what, when.
create table zy.res_download_history (
    event_at    varchar2(32) not null,
    op_id       number(10),
    host        varchar2(255),
    down_id     varchar2(20),
    file_name   varchar2(300) not null,
    version_no  number(10),
    bytes       number(19),
    event       varchar2(16) not null,
    result      varchar2(1000)
);
create index zy.ix_res_download_history_name on zy.res_download_history (file_name);
create index zy.ix_res_download_history_op on zy.res_download_history (op_id);
