-- A shared PostgreSQL server.
create schema if not exists xg;
create schema if not exists zy;

create table if not exists xg.sys_base_type (
    enum_name  varchar(64) not null,
    code_value varchar(20) not null,
    cname      varchar(64) not null,
    primary key (enum_name, code_value)
);

create table if not exists zy.res_download_path (
    down_id     bigint not null,
    down_type   integer not null,
    down_path   varchar(300) not null,
    op_id       integer not null,
    create_date timestamp(0) not null,
    remark      varchar(1000)
);

create index if not exists ix_res_download_path_date on zy.res_download_path (create_date);
create index if not exists ix_res_download_path_id on zy.res_download_path (down_id);
create index if not exists ix_res_download_path_path on zy.res_download_path (down_path);
