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
